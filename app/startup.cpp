// Start-up on the first idle moment of the message loop, and the ways the
// program ends.
#include "app/velmainfrm.h"
#include "app/version.h"
#include "toolkit/application.h"

namespace app {

namespace {

constexpr const char* kNoRightsText =
    "Your current Windows security settings do not allow this program to modify registry. You may use this "
    "feature only on administrator accounts with full system rights.This program is currently useless for you. "
    "It will be removed from autostart group. Change your security settings.";

constexpr const char* kNoEventLog = "The Windows event log is not available; Veltrane's findings are not logged.";

const char* RefusedAction(registry::Refusal refusal) {
  switch (refusal) {
    case registry::Refusal::Read:
    case registry::Refusal::ListFolder:
      return "read";
    case registry::Refusal::Change:
      return "change";
    case registry::Refusal::Delete:
      break;
  }
  return "delete";
}

}  // namespace

void Tvelmain::Loaded() {
  // The guard decides first: a second copy ends before its tray icon shows,
  // its watch starts or it takes away the running copy's start-with-Windows
  // registration (which would not be written again before the next start).
  once.Loaded();
  if (tk::App().Terminated()) return;
  tray.Loaded();
  auto_.Loaded();
  mon_HKLM.Loaded();
  mon_folders.StartMonitor();
}

void Tvelmain::propsIdle(bool& done) {
  // Idle events of nested loops (modal windows, message pumping) come here
  // too: the flag goes first, before anything can pump.
  if (!start_up_pending_) return;
  start_up_pending_ = false;
  // The start-up holds the scan gate: a scan asked for meanwhile (the change
  // question answered Yes while the doctor works, "Scan now") waits for it,
  // and closing the window stops it like a scan.
  scan_gate.Run(registry::ScanRequest::StartUp, [this] { StartUp(); });
}

void Tvelmain::StartUp() {
  // Only the copy the single-instance guard let run protects anything.
  if (!Ending()) {
    protection_logged_ = true;
    Log(events::kProtectionStarted);
  }
  user_name_ = platform.system.UserName().value_or(std::string());
  ProgramVersion = VELTRANE_VERSION_TEXT;
  UpdateNumber = VELTRANE_UPDATE_NUMBER_TEXT;
  wersja.SetCaption(ProgramVersion);
  files_ = std::make_unique<DataFiles>(platform.files, platform.processes.WindowsFolder(), user_name_);

  // Any step may end the program (the doctor's corrupted registry, the
  // no-rights exit of a scan, the window closed meanwhile): the steps after
  // it do not run.
  const Settings& s = settings_;
  LoadConfiguration();
  if (Ending()) return;
  ShowProtectionLevel();
  RefreshProcessList();
  later_windows.SetEnabled(true);
  ShowRegistryDoctor();
  if (Ending()) return;
  if (s.auto_skan_rejestru.Checked()) FullRegistryScanNow();
  if (Ending()) return;
  if (s.auto_skan_pamieci.Checked()) MemoryScanNow();
  if (Ending()) return;
  RefreshLists();
  if (Ending()) return;
  if (s.auto_skan_zywy.Checked()) StartMonitor();
  // The timers start only now, however long the scans took.
  Timer1.SetEnabled(true);
  if (s.auto_skan_co_godzine.Checked()) skan_1h.SetEnabled(true);
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
  stopping_ = scan_gate.Busy();
  scan_gate.RunLast([this] {
    stopping_ = false;
    // However the exit scan ends, even with an error, the program ends.
    struct End {
      ~End() { tk::App().Terminate(); }
    } end;
    if (settings_.auto_skan_koncowy.Checked() && !tk::App().Terminated()) ExitScanNow();
  });
  if (!stopping_) return;
  const std::vector<tk::Form*> open = tk::App().ModalForms();
  for (tk::Form* form : open) form->Close();
}

void Tvelmain::Refused(const std::string& key_text, registry::Refusal refusal) {
  Log(events::kAccessRefused, {key_text, RefusedAction(refusal)});
  if (!platform.system.HasAdminRights()) {
    NoRightsExit();
    return;
  }
  if (refusal == registry::Refusal::Delete) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string(registry::kNotDeletedRefused));
    return;
  }
  if (refusals_told_.insert({key_text, refusal}).second)
    tk::App().MessageBox(tk::MsgKind::Warning, registry::RefusalText(key_text, refusal));
}

void Tvelmain::Log(events::Event event, const std::vector<std::string>& strings) {
  // A finding that cannot be logged is still acted on.
  bool written = false;
  try {
    written = platform.event_log.Report(event.level, event.id, strings);
  } catch (...) {
  }
  if (written || event_log_failure_told_) return;
  event_log_failure_told_ = true;
  status.SetCaption(kNoEventLog);
}

void Tvelmain::LogProtectionEnded() {
  if (!protection_logged_) return;
  protection_logged_ = false;
  Log(events::kProtectionEnded);
}

void Tvelmain::NoRightsExit() {
  tk::App().MessageBox(tk::MsgKind::Information, kNoRightsText);
  auto_.SetAutoRun(false);
  auto_.ApplyLogonTask();
  scheduler.Wait(components::WorkerQueue::kEndWaitMs);
  // The program ends even when the setting cannot be written.
  try {
    if (files_) files_->config.WriteString("glowna", settings_.auto_start.Name(), "0");
  } catch (...) {
    tk::App().Terminate();
    throw;
  }
  tk::App().Terminate();
}

}  // namespace app
