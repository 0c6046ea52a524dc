// The main window's side of registry protection: the scans, the registry
// doctor and the lists page hand their work to the engines in registry/
// through a small adapter.
#include "app/velmainfrm.h"
#include "registry/data_files.h"
#include "registry/lists_page.h"
#include "registry/scan.h"
#include "toolkit/error.h"

namespace app {
namespace {

class ScanAdapter : public registry::ScanHost {
 public:
  explicit ScanAdapter(Tvelmain& w) : w_(w) {}

  platform::Registry& Registry() override { return w_.platform.registry; }
  registry::IniStore& WhiteList() override {
    // The start-up sequence opens the stores before anything can scan.
    if (!w_.white_list) throw tk::Error("The data files are not open yet.");
    return *w_.white_list;
  }
  registry::IniStore& Statistics() override {
    if (!w_.statistics) throw tk::Error("The data files are not open yet.");
    return *w_.statistics;
  }
  tk::ProgressBar& Progress() override { return w_.postep; }
  void ShowScanPage() override { w_.silnik.ShowPage(w_.skan); }
  void StopMonitor() override { w_.mon_HKLM.StopMonitor(); }
  void StartMonitor() override { w_.StartMonitor(); }
  bool LiveRegistryTest() override { return w_.auto_skan_zywy.Checked(); }
  void SetBalloonText(const std::string& text) override { w_.tray.SetInfoText(text); }
  void ShowBalloon() override { w_.ShowBalloon(); }
  void NoRightsExit() override { w_.NoRightsExit(); }
  bool Ending() override { return w_.Ending(); }
  void BlockProgram(const std::string& text) override { w_.BlockProgram(text); }
  std::string OwnPath() override { return w_.platform.system.ExePath(); }

 private:
  Tvelmain& w_;
};

// The lists show the files as they are now, whatever the removal did, even
// when it failed half-way.
template <class F>
void RemoveThenRefresh(Tvelmain& w, F remove) {
  try {
    remove();
  } catch (...) {
    w.RefreshLists();
    throw;
  }
  w.RefreshLists();
}

}  // namespace

void Tvelmain::ConnectRegistryProtection() {
  Button11.OnClick = [this] { Button11Click(); };
  Button18.OnClick = [this] { Button18Click(); };
  Button19.OnClick = [this] { Button19Click(); };
  Button22.OnClick = [this] { Button22Click(); };
}

void Tvelmain::FullRegistryScan() {
  scan_gate.Run(registry::ScanRequest::FullScan, [this] { FullRegistryScanNow(); });
}

void Tvelmain::FullRegistryScanNow() {
  ScanAdapter host(*this);
  registry::RegistryScan(host, channel).FullRegistryScan();
}

void Tvelmain::ScanLocalMachineRun() {
  scan_gate.Run(registry::ScanRequest::ExitScan, [this] { ExitScanNow(); });
}

void Tvelmain::ExitScanNow() {
  ScanAdapter host(*this);
  registry::RegistryScan(host, channel).ScanAutorunKey(registry::kLocalMachineRun);
}

void Tvelmain::Button11Click() {
  // The options are read when the scan runs, which for a deferred one is
  // after the scan it waited for.
  scan_gate.Run(registry::ScanRequest::ScanNow, [this] {
    if (skanuj_rejestr.Checked()) FullRegistryScanNow();
    // The registry scan may have ended the program (the no-rights exit):
    // then nothing more is refreshed, scanned, stopped or watched.
    if (Ending()) return;
    if (skanuj_pamiec.Checked()) {
      RefreshLists();
      if (Ending()) return;
      MemoryScanNow();
    }
    if (auto_skan_zywy.Checked()) StartMonitor();
  });
}

void Tvelmain::ShowRegistryDoctor() {
  // Shown once per run; never replaced while its own loop is running.
  if (doktor && doktor->Modal()) return;
  doktor = std::make_unique<registry::Tdoktor>(platform.registry);
  // Its repairs are the program's own writes to the watched key: nobody is
  // asked about them.
  bool watching = mon_HKLM.Watching();
  mon_HKLM.StopMonitor();
  doktor->ShowModal();
  if (watching) StartMonitor();
}

void Tvelmain::Button18Click() {
  RemoveThenRefresh(*this, [this] {
    if (white_list)
      registry::RemoveSelectedItem(list_pozwolonych, *white_list, "wartosc", registry::kLastWhiteListSlot);
  });
}

void Tvelmain::Button19Click() {
  RemoveThenRefresh(*this, [this] {
    if (black_list) registry::RemoveSelectedItem(list_zabronionych, *black_list, "sciezka", registry::kLastSlot);
  });
}

void Tvelmain::Button22Click() { RefreshLists(); }

}  // namespace app
