// The main window as the engines' host: what the registry scan, the
// process engines and undo need from it, and how they tell the person
// things. Internal to the main window.
#pragma once
#include <string>

#include "app/velmainfrm.h"
#include "process/protection_host.h"
#include "registry/scan.h"
#include "registry/undo.h"

namespace app {

class Engines final : public registry::ScanHost, public process::ProtectionHost, public registry::UndoHost {
 public:
  explicit Engines(Tvelmain& w) : w_(w) {}

  // Every engine.
  void Pump() override;
  bool Ending() override { return w_.Ending(); }
  tk::ModalResult Tell(tk::MsgKind kind, const std::string& text, tk::MsgButtons buttons) override;
  void Progress(int position, int max) override { w_.skan.Progress(position, max); }
  void ShowScanPage() override { w_.ShowPage(w_.skan); }
  void Log(events::Event event, const std::vector<std::string>& strings) override { w_.Log(event, strings); }

  // The registry scan and undo.
  platform::Registry& Registry() override { return w_.platform.registry; }
  registry::IniStore& WhiteList() override { return Data().white_list; }
  registry::IniStore& Statistics() override { return Data().statistics; }
  void StopMonitor() override { w_.StopMonitor(); }
  void StartMonitor() override { w_.StartMonitor(); }
  bool LiveRegistryTest() override { return w_.settings().auto_skan_zywy.Checked(); }
  void SetBalloonText(const std::string& text) override { w_.tray.SetInfoText(text); }
  void ShowBalloon() override { w_.ShowBalloon(); }
  void Refused(const std::string& key_text, registry::Refusal refusal) override { w_.Refused(key_text, refusal); }
  void BlockProgram(const std::string& text) override { w_.BlockProgram(text); }
  std::string OwnPath() override { return w_.platform.system.ExePath(); }
  registry::Decision Ask(const registry::Question& question) override;
  bool MoveToTrashcan(const std::string& path) override;
  platform::Shell& Shell() override { return w_.platform.shell; }
  bool PauseMonitor() override;
  void ResumeMonitor() override { w_.StartMonitor(); }

  // The process engines.
  platform::Processes& Processes() override { return w_.platform.processes; }
  platform::Files& Files() override { return w_.platform.files; }
  platform::System& System() override { return w_.platform.system; }
  registry::IniStore& BlackList() override { return Data().black_list; }
  registry::IniStore& Trashcan() override { return Data().trashcan; }
  bool SilentRemoval() override { return w_.settings().skanuj_usun_cicho.Checked(); }
  void RefreshLists() override { w_.RefreshLists(); }
  void RefreshProcessList() override { w_.RefreshProcessList(); }
  void ShowBalloon(const std::string& text) override;
  registry::Decision Ask(const std::string& path, bool forbidden_by_policy) override;

 private:
  // The data files, which the start-up opens before anything can use them.
  DataFiles& Data();
  Tvelmain& w_;
};

}  // namespace app
