// What the process engines need from the main window, which implements it.
#pragma once
#include <string>
#include "platform/files.h"
#include "platform/processes.h"
#include "registry/handoff.h"
#include "registry/ini_store.h"
#include "toolkit/control.h"

namespace process {

class ProtectionHost {
 public:
  virtual ~ProtectionHost() = default;

  virtual platform::Processes& Processes() = 0;
  virtual platform::Files& Files() = 0;
  virtual registry::IniStore& BlackList() = 0;  // C:\Windows\disallowed.vlt
  virtual registry::IniStore& Trashcan() = 0;   // C:\Windows\trashcan.vlt
  virtual registry::HandOffChannel& Channel() = 0;

  virtual tk::ListBox& ProcessList() = 0;      // list_pamiec
  virtual tk::ProgressBar& ScanProgress() = 0;  // postep on page skan
  // "Silently remove from memory" (skanuj_usun_cicho), read where it acts.
  virtual bool SilentRemoval() = 0;

  virtual void ShowScanPage() = 0;
  virtual void RefreshLists() = 0;
  // Makes text the tray balloon's text and shows the balloon.
  virtual void ShowBalloon(const std::string& text) = 0;
  // The program is ending (or its window was closed): nothing more is
  // scanned or stopped. By default: once the application is terminating.
  virtual bool Ending();
};

}  // namespace process
