// Start-up on the first idle moment of the message loop, and the ways the
// program ends.
#include "app/velmainfrm.h"
#include "app/version.h"
#include "registry/scan.h"
#include "toolkit/application.h"

namespace app {

namespace {

constexpr const char* kNoRightsText =
    "Your current Windows security settings do not allow this program to modify registry. You may use this "
    "feature only on administrator accounts with full system rights.This program is currently useless for you. "
    "It will be removed from autostart group. Change your security settings.";

}  // namespace

void Tvelmain::Loaded() {
  // The guard decides first: a second copy ends before its tray icon shows,
  // its watch starts or it takes away the running copy's start-with-Windows
  // registration (which would not be written again before the next start).
  once.Loaded();
  if (tk::App().Terminated()) return;
  tray.Loaded();
  auto_.Loaded();
  protection_.Loaded();
}

void Tvelmain::propsIdle(bool& done) {
  // Idle events of nested loops (modal windows, message pumping) come here
  // too: the flag goes first, before anything can pump.
  if (!start_up_pending_) return;
  start_up_pending_ = false;
  // The start-up holds the scan gate: a scan asked for meanwhile (the change
  // question answered Yes while the doctor works, "Scan now") waits for it,
  // and closing the window stops it like a scan.
  protection_.Gate().Run(registry::ScanRequest::StartUp, [this] { StartUp(); });
}

void Tvelmain::StartUp() {
  // Only the copy the single-instance guard let run protects anything.
  if (!Ending()) {
    protection_logged_ = true;
    protection_.Log(events::kProtectionStarted);
  }
  ProgramVersion = VELTRANE_VERSION_TEXT;
  UpdateNumber = VELTRANE_UPDATE_NUMBER_TEXT;
  wersja.SetCaption(ProgramVersion);
  protection_.OpenDataFiles(platform.system.UserName().value_or(std::string()));

  // Any step may end the program (the doctor's corrupted registry, the
  // no-rights exit of a scan, the window closed meanwhile): the steps after
  // it do not run.
  LoadConfiguration();
  if (Ending()) return;
  ShowProtectionLevel();
  RefreshProcessList();
  later_windows.SetEnabled(true);
  ShowRegistryDoctor();
  if (Ending()) return;
  const registry::Settings& s = protection_.Settings();
  if (s.auto_skan_rejestru) registry::RegistryScan(protection_).FullRegistryScan();
  if (Ending()) return;
  if (s.auto_skan_pamieci) protection_.MemoryScan();
  if (Ending()) return;
  RefreshLists();
  if (Ending()) return;
  if (s.auto_skan_zywy) protection_.Start();
  // The timers start only now, however long the scans took.
  Timer1.SetEnabled(true);
  if (s.auto_skan_co_godzine) skan_1h.SetEnabled(true);
  silnik.ShowPage(glowna);
  // Asking the Task Scheduler takes a while: only once the window and the
  // protection level are up. Asked at every start, since someone else may
  // have removed the task.
  tk::App().Queue([this] {
    if (!Ending()) auto_.ApplyLogonTask();
  });
}

bool Tvelmain::Ending() const { return tk::App().Terminated() || stopping_; }

void Tvelmain::FormClose(tk::CloseAction& action) {
  if (tk::App().Terminated()) return;
  // The program ends from the job below, once the exit scan is over; a
  // second close while the first is on its way changes nothing.
  action = tk::CloseAction::None;
  if (close_requested_) return;
  close_requested_ = true;
  // A scan or the start-up that is running stops at its next step and an
  // alert it shows closes unanswered; scans asked for meanwhile are dropped.
  stopping_ = protection_.Gate().Busy();
  protection_.Gate().RunLast([this] {
    stopping_ = false;
    // However the exit scan ends, even with an error, the program ends.
    struct End {
      ~End() { tk::App().Terminate(); }
    } end;
    if (protection_.Settings().auto_skan_koncowy && !tk::App().Terminated()) protection_.ExitScan();
  });
  if (!stopping_) return;
  const std::vector<tk::Form*> open = tk::App().ModalForms();
  for (tk::Form* form : open) form->Close();
}

void Tvelmain::LogProtectionEnded() {
  if (!protection_logged_) return;
  protection_logged_ = false;
  protection_.Log(events::kProtectionEnded);
}

void Tvelmain::NoRightsExit() {
  tk::App().MessageBox(tk::MsgKind::Information, kNoRightsText);
  SetAutoRun(false);
  auto_.ApplyLogonTask();
  scheduler.Wait(components::WorkerQueue::kEndWaitMs);
  // The program ends even when the setting cannot be written.
  try {
    const registry::StoredSetting& stored = registry::StoredAs(&registry::Settings::auto_start);
    if (protection_.DataFilesOpen()) protection_.Data().config.WriteString(stored.section, stored.key, "0");
  } catch (...) {
    tk::App().Terminate();
    throw;
  }
  tk::App().Terminate();
}

}  // namespace app
