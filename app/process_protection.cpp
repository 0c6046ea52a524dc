// The main window's side of process protection: its operations and page
// handlers hand the work to the engines in process/ through a small adapter.
#include "app/velmainfrm.h"
#include "process/memory_page.h"
#include "process/memory_scan.h"
#include "process/process_list.h"
#include "process/protection_host.h"
#include "process/trashcan.h"
#include "toolkit/error.h"

namespace app {
namespace {

class ProtectionAdapter : public process::ProtectionHost {
 public:
  explicit ProtectionAdapter(Tvelmain& w) : w_(w) {}

  platform::Processes& Processes() override { return w_.platform.processes; }
  platform::Files& Files() override { return w_.platform.files; }
  registry::IniStore& BlackList() override { return Opened(w_.black_list); }
  registry::IniStore& Trashcan() override { return Opened(w_.trashcan); }
  registry::HandOffChannel& Channel() override { return w_.channel; }
  tk::ListBox& ProcessList() override { return w_.list_pamiec; }
  tk::ProgressBar& ScanProgress() override { return w_.postep; }
  bool SilentRemoval() override { return w_.skanuj_usun_cicho.Checked(); }
  void ShowScanPage() override { w_.silnik.ShowPage(w_.skan); }
  void RefreshLists() override { w_.RefreshLists(); }
  void ShowBalloon(const std::string& text) override {
    w_.tray.SetInfoText(text);
    w_.ShowBalloon();
  }
  bool Ending() override { return w_.Ending(); }

 private:
  // The stores are opened by the start-up sequence before anything can use them.
  static registry::IniStore& Opened(const std::unique_ptr<registry::IniStore>& store) {
    if (!store) throw tk::Error("The data files are not open yet.");
    return *store;
  }
  Tvelmain& w_;
};

}  // namespace

void Tvelmain::RefreshProcessList() { process::RefreshProcessList(platform.processes, list_pamiec); }

void Tvelmain::ScanMemory() {
  // Under the same gate as the registry scans: the alert and the hand-off
  // channel serve one scan at a time.
  scan_gate.Run(registry::ScanRequest::MemoryScan, [this] { MemoryScanNow(); });
}

void Tvelmain::MemoryScanNow() {
  ProtectionAdapter host(*this);
  process::ScanMemory(host);
}

void Tvelmain::StopProcess(const std::string& path) {
  ProtectionAdapter host(*this);
  process::StopProcess(host, path);
}

void Tvelmain::BlockProgram(const std::string& text) {
  ProtectionAdapter host(*this);
  process::BlockProgram(host, text);
}

void Tvelmain::MoveToTrashcan(const std::string& path) {
  ProtectionAdapter host(*this);
  process::MoveToTrashcan(host, path);
}

void Tvelmain::Button14Click() {
  ProtectionAdapter host(*this);
  process::StopSelected(host);
}

void Tvelmain::Button15Click() {
  ProtectionAdapter host(*this);
  process::TrashSelected(host);
}

void Tvelmain::Button20Click() {
  ProtectionAdapter host(*this);
  process::DisallowSelected(host);
}

void Tvelmain::Button10Click() {
  ProtectionAdapter host(*this);
  process::RecoverSelected(host, list_smietnik);
}

void Tvelmain::Button21Click() {
  ProtectionAdapter host(*this);
  process::EmptySelected(host, list_smietnik);
}

void Tvelmain::ConnectProcessProtection() {
  Button14.OnClick = [this] { Button14Click(); };
  Button15.OnClick = [this] { Button15Click(); };
  Button20.OnClick = [this] { Button20Click(); };
  Button10.OnClick = [this] { Button10Click(); };
  Button21.OnClick = [this] { Button21Click(); };
}

}  // namespace app
