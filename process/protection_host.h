// What the process engines need from the main window, which implements it.
#pragma once
#include <string>
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registry/host.h"
#include "registry/ini_store.h"

namespace process {

class ProtectionHost : public virtual registry::EngineHost {
 public:
  virtual platform::Processes& Processes() = 0;
  // Where the administrator's policy lists are read.
  virtual platform::Registry& Registry() = 0;
  virtual platform::Files& Files() = 0;
  virtual platform::System& System() = 0;
  virtual registry::IniStore& BlackList() = 0;  // C:\Windows\disallowed.vlt
  virtual registry::IniStore& Trashcan() = 0;   // C:\Windows\trashcan.vlt

  // "Silently remove from memory" (skanuj_usun_cicho), read where it acts.
  virtual bool SilentRemoval() = 0;
  // The memory scan has come to process `position` of 0..max.
  virtual void Progress(int position, int max) = 0;
  virtual void ShowScanPage() = 0;
  virtual void RefreshLists() = 0;
  // The running programs changed: the list of page pamiec is made anew.
  virtual void RefreshProcessList() = 0;
  // Makes text the tray balloon's text and shows the balloon.
  virtual void ShowBalloon(const std::string& text) = 0;
  // Shows the forbidden-process alert about the program at path; the
  // person's answer. One that the policy forbids cannot be allowed there.
  virtual registry::Decision Ask(const std::string& path, bool forbidden_by_policy) = 0;
  // The watch of the autostart places, stopped around the program's own
  // move of a file back into a Startup folder. Pause says whether it was
  // watching.
  virtual bool PauseMonitor() = 0;
  virtual void ResumeMonitor() = 0;
};

}  // namespace process
