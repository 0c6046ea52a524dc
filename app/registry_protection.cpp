// The main window's side of registry protection: the scans and the registry
// doctor hand their work to the engines in registry/.
#include "app/engines.h"
#include "app/velmainfrm.h"
#include "registry/scan.h"

namespace app {

void Tvelmain::FullRegistryScan() {
  scan_gate.Run(registry::ScanRequest::FullScan, [this] { FullRegistryScanNow(); });
}

void Tvelmain::FullRegistryScanNow() {
  Engines host(*this);
  registry::RegistryScan(host).FullRegistryScan();
}

void Tvelmain::ScanLocalMachineRun() {
  scan_gate.Run(registry::ScanRequest::ExitScan, [this] { ExitScanNow(); });
}

void Tvelmain::ExitScanNow() {
  Engines host(*this);
  registry::RegistryScan(host).ScanAutorunKey(registry::kLocalMachineRun);
}

void Tvelmain::ScanNow() {
  // The options are read when the scan runs, which for a deferred one is
  // after the scan it waited for.
  scan_gate.Run(registry::ScanRequest::ScanNow, [this] {
    if (settings_.skanuj_rejestr.Checked()) FullRegistryScanNow();
    // The registry scan may have ended the program (the no-rights exit):
    // then nothing more is refreshed, scanned, stopped or watched.
    if (Ending()) return;
    if (settings_.skanuj_pamiec.Checked()) {
      RefreshLists();
      if (Ending()) return;
      MemoryScanNow();
    }
    if (settings_.auto_skan_zywy.Checked()) StartMonitor();
  });
}

void Tvelmain::ShowRegistryDoctor() {
  // Shown once per run; never replaced while its own loop is running.
  if (doktor && doktor->Modal()) return;
  doktor = std::make_unique<registry::Tdoktor>(platform.registry);
  doktor->OnRefused = [this](const std::string& key_text, registry::Refusal refusal) { Refused(key_text, refusal); };
  // Its repairs are the program's own writes to the watched key: nobody is
  // asked about them.
  bool watching = Watching();
  StopMonitor();
  doktor->ShowModal();
  if (watching) StartMonitor();
}

}  // namespace app
