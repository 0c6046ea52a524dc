// The program's life in the notification area: the tray icon and its menu,
// the auto-hide and hourly timers, the reaction to changes of the
// machine-wide Run key, a second copy's call, and the end of the session.
#include "app/velmainfrm.h"
#include "registry/autorun.h"
#include "registry/startup_folders.h"
#include "toolkit/application.h"

namespace app {

namespace {
constexpr const char* kChangeQuestion =
    "Protected part of system registry was changed. Do you want to scan the registry now?";

// Posted to the application window ("TApplication", caption "Veltrane") by
// the uninstaller.
constexpr const char* kExitMessage = "Veltrane.ExitProgram";
}  // namespace

void Tvelmain::BuildPresence() {
  auto item = [this](const char* name, const char* caption, const char* picture, void (Tvelmain::*handler)()) {
    tk::MenuItem& it = popup.Add(name, caption, handler ? std::function<void()>([this, handler] { (this->*handler)(); })
                                                        : std::function<void()>());
    it.picture = picture;
    return &it;
  };
  item("fgmfgh", "Menu", "TRAY_MENU", nullptr)->enabled = false;
  item("N1", "-", "", nullptr);
  item("Showmainwindow1", "Show main window", "TRAY_SHOW", &Tvelmain::Showmainwindow1Click)->is_default = true;
  item("Scansystem1", "Scan system", "TRAY_SCAN", &Tvelmain::Scansystem1Click);
  item("Showactiveprograms1", "Show active programs", "TRAY_PROGRAMS", &Tvelmain::Showactiveprograms1Click);
  item("N2", "-", "", nullptr);
  item("Exitprogram1", "Exit program", "TRAY_EXIT", &Tvelmain::ExitProgram);

  tray.Name = "tray";
  tray.SetHint("Veltrane - registry protection");
  tray.SetIcon("MAINICON");
  tray.SetMinimizeToTray(true);
  tray.SetPopupMenu(&popup);
  tray.SetVisible(true);
  tray.SetInfoText("Scanning done.");
  tray.SetInfoTitle("Veltrane:");

  mon_HKLM.Name = "mon_HKLM";
  mon_HKLM.SetActive(true);
  mon_HKLM.SetNotifyFilters(components::rmfSubTreeChange | components::rmfAttributeChange |
                            components::rmfValueChange);
  mon_HKLM.SetWatchSubTree(true);
  // Every autostart key, the current user's Run key too, which any program
  // may write to for its own user.
  mon_HKLM.SetKeys(registry::AutostartKeys(platform.registry));
  mon_HKLM.SetOnChange([this] { mon_HKLMChange(); });
  std::vector<std::string> folders;
  for (const registry::StartupPlace& place : registry::kStartupPlaces)
    if (std::optional<std::string> folder = platform.shell.StartupFolderPath(place.folder)) folders.push_back(*folder);
  mon_folders.SetFolders(std::move(folders));
  mon_folders.SetOnChange([this] { mon_HKLMChange(); });

  once.Name = "once";
  once.Message = "Don't run this program more than once!";
  once.ShowMessage = true;
  // Hidden in the tray, coming forward alone would show nothing.
  once.OnActivateRequest = [this] {
    if (Ending()) return;
    tray.ShowMainWindow();
    BringToFront();
  };

  // The uninstaller ends a running copy as "Exit program" does: no exit scan
  // whose questions nobody would answer. It runs as an administrator; a
  // program with fewer rights must not be able to end the guard.
  tk::App().GetBackend().ListenForMessage(kExitMessage, [this] { ExitProgram(); }, tk::Rights::Same);

  Timer1.SetOnTimer([this] { Timer1Timer(); });
  skan_1h.SetOnTimer([this] { skan_1hTimer(); });
  tk::App().OnEndSession = [this] { EndSession(); };
}

void Tvelmain::StartMonitor() {
  if (Ending()) return;
  mon_HKLM.StartMonitor();
  mon_folders.StartMonitor();
}

void Tvelmain::StopMonitor() {
  mon_HKLM.StopMonitor();
  mon_folders.StopMonitor();
}

bool Tvelmain::Watching() const { return mon_HKLM.Watching() || mon_folders.Watching(); }

void Tvelmain::WithoutWatch(const std::function<void()>& change) {
  const bool watching = Watching();
  StopMonitor();
  change();
  if (watching) StartMonitor();
}

void Tvelmain::ShowBalloon() {
  if (!Ending()) tray.ShowBalloon();
}

void Tvelmain::Timer1Timer() {
  Timer1.SetEnabled(false);
  if (Ending()) return;
  // A window the user rolled down in the meantime stays on screen.
  if (ClientHeight() == kRolledUpHeight) tray.HideMainWindow();
}

void Tvelmain::skan_1hTimer() {
  if (!Ending()) ScanNow();
}

void Tvelmain::mon_HKLMChange() {
  if (Ending()) return;
  // The watch does not say which place changed.
  Log(events::kGuardedPlaceChanged, {"the registry or a Startup folder"});
  StopMonitor();
  tk::ModalResult answer = tk::App().MessageBox(tk::MsgKind::Warning, kChangeQuestion, tk::MsgButtons::YesNo);
  if (Ending()) return;
  if (answer == tk::ModalResult::Yes) {
    tray.ShowMainWindow();
    silnik.ShowPage(skan);
    settings_.skanuj_rejestr.SetChecked(true);
    settings_.skanuj_pamiec.SetChecked(false);
    ScanNow();
  } else {
    // The monitor stays off until a scan starts it again.
    tray.HideMainWindow();
    tray.SetInfoText("Registry was modified!");
    ShowBalloon();
  }
}

void Tvelmain::Button6Click() { tray.HideMainWindow(); }

void Tvelmain::Showmainwindow1Click() { tray.ShowMainWindow(); }

void Tvelmain::Scansystem1Click() {
  tray.ShowMainWindow();
  silnik.ShowPage(skan);
}

void Tvelmain::Showactiveprograms1Click() {
  tray.ShowMainWindow();
  silnik.ShowPage(pamiec);
}

void Tvelmain::ExitProgram() {
  // A change of the setting just made still reaches the Task Scheduler.
  scheduler.Wait(components::WorkerQueue::kEndWaitMs);
  tk::App().Terminate();
}

void Tvelmain::EndSession() {
  // Windows may end the process as soon as this returns: nothing is left
  // watching or in the notification area, and no exit scan asks anything.
  Timer1.SetEnabled(false);
  skan_1h.SetEnabled(false);
  StopMonitor();
  tray.RemoveFromTray();
  LogProtectionEnded();
  scheduler.Wait(components::WorkerQueue::kEndWaitMs);
}

}  // namespace app
