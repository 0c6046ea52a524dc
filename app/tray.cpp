// The program's life in the notification area: the tray icon and its menu,
// the auto-hide and hourly timers, the reaction to changes of the
// machine-wide Run key, a second copy's call, and the end of the session.
#include "app/velmainfrm.h"
#include "registry/autorun.h"
#include "toolkit/application.h"

namespace app {

namespace {
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

  protection_.SetUpWatches();

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
  protection_.Log(events::kGuardedPlaceChanged, {"the registry or a Startup folder"});
  protection_.Stop();
  tk::ModalResult answer = tk::App().MessageBox(tk::MsgKind::Warning, kChangeQuestion, tk::MsgButtons::YesNo);
  if (Ending()) return;
  if (answer == tk::ModalResult::Yes) {
    tray.ShowMainWindow();
    silnik.ShowPage(skan);
    // A registry scan, whatever the person ticked for "Scan now".
    protection_.ScanRegistry();
  } else {
    // The watch stays off until a scan starts it again.
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
  protection_.StopAllWatches();
  tray.RemoveFromTray();
  LogProtectionEnded();
  scheduler.Wait(components::WorkerQueue::kEndWaitMs);
}

}  // namespace app
