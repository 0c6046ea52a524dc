// The main window Tvelmain: the header bands, the page book with one class
// per page, the help panel and the navigation row; the non-visual
// components; and the program's named operations, which hand the work to
// the engines.
#pragma once
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/pages.h"
#include "app/protection.h"
#include "components/propanel.h"
#include "components/zel_autorun.h"
#include "components/zel_oneinstance.h"
#include "components/zel_trayicon.h"
#include "platform/platform.h"
#include "registry/autorun.h"
#include "registry/doktorfrm.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace app {

// Asked when a guarded place changes while the watch runs.
inline constexpr const char* kChangeQuestion =
    "Protected part of system registry was changed. Do you want to scan the registry now?";

class Tvelmain : public tk::Form {
 public:
  explicit Tvelmain(platform::Platform platform);
  ~Tvelmain() override;

  static constexpr int kClientWidth = 524;
  static constexpr int kRolledUpHeight = 101;
  static constexpr int kRolledDownHeight = 500;

  platform::Platform platform;  // references to the backends, cheap to copy
  std::string ProgramVersion;
  std::string UpdateNumber;

  // ===================== Named operations =====================
  void RefreshLists();
  void ShowProtectionLevel();
  // The status line's text; a notice too long for its big type gets a
  // smaller one, so that it stays on its line.
  void ShowStatus(const std::string& text);
  // A notice that stays until the protection level has been shown over it
  // once: work that finds something often ends by showing the level.
  void ShowNotice(const std::string& text);
  void LoadConfiguration();
  void SaveConfiguration();
  void NoRightsExit();
  void ShowHelpText(const std::string& text, bool use_default);
  // The mouse over the control shows text in the help panel; nullptr: the
  // default help.
  void Hover(tk::Control& control, const char* text);
  void ShowPage(tk::Page& page) { silnik.ShowPage(page); }
  void RefreshProcessList();
  void ShowRegistryDoctor();
  // "Scan now" on page skan, also the hourly scan: the scans its options
  // ask for.
  void ScanNow() { protection_.ScanNow(); }
  // "Exit program": ends at once, without the exit scan.
  void ExitProgram();
  // The program is ending, or its window was closed while a scan or the
  // start-up ran: nothing more is scanned, stopped or started (the exit
  // scan that a close asks for runs after this has been cleared).
  bool Ending() const;
  // A balloon with the tray icon's current text, unless the program is ending.
  void ShowBalloon();
  // The folder of the update list and archive; the command line may name
  // another one (for tests).
  void SetUpdateSite(const std::string& url) { update.SetUpdateSite(url); }

  // What guards the machine: the settings, the data files, the scans and
  // the watch.
  Protection& protection() { return protection_; }

 private:
  friend class Protection;
  friend class MainPage;
  friend class ScanPage;
  friend class RemovedPage;
  friend class TrashcanPage;
  friend class MemoryPage;
  friend class ListsPage;
  friend class UpdatePage;

  // Captions, bounds, colours and fonts of the bands, the help panel and the
  // navigation row; each page lays out its own controls.
  void BuildLayout();
  // Hover help and the handlers of the window's own controls.
  void ConnectHandlers();
  // The tray icon with its menu, the registry monitor, the single-instance
  // guard and the timers (app/tray.cpp).
  void BuildPresence();
  // The program's own start-with-Windows value: nobody is asked about it.
  void SetAutoRun(bool on);
  // Called once the window is built: the components act on their settings,
  // unless the program is already ending (a second copy).
  void Loaded();

  // Start-up and ending (app/startup.cpp).
  void propsIdle(bool& done);
  void StartUp();
  void FormClose(tk::CloseAction& action);
  void autoRegisterFailed();

  // Roll animation.
  void rolldownbtnClick();
  void rollupTimer();
  void rolldownTimer();
  void Button2Click();  // "Help"
  void Button6Click();  // "Close"

  // The tray, the timers and the registry-change reaction (app/tray.cpp).
  void Timer1Timer();
  void skan_1hTimer();
  void mon_HKLMChange();
  void Showmainwindow1Click();
  void Scansystem1Click();
  void Showactiveprograms1Click();
  // Windows is ending the session: nothing may be left behind or wait.
  void EndSession();
  // "Protection ended", once, for a run whose start was logged.
  void LogProtectionEnded();

  // Header band (0-49), tagline (49-61), status line (61-85), roll button (84-101).
  components::TProPanel naglowek{this, "naglowek"};
  tk::Label wersja{&naglowek, "wersja"};
  components::TProPanel haslo{this, "haslo"};
  components::TProPanel status{this, "status"};
  tk::Button rolldownbtn{this, "rolldownbtn"};

  // Page book (left) and help panel (right).
  tk::PageBook silnik{this, "silnik"};
  MainPage glowna{silnik, *this};
  ScanPage skan{silnik, *this};
  RemovedPage rejestr{silnik, *this};
  TrashcanPage smietnik{silnik, *this};
  MemoryPage pamiec{silnik, *this};
  ListsPage listy{silnik, *this};
  UpdatePage update{silnik, *this};

  components::TProPanel pomoc_panel{this, "pomoc_panel"};
  components::TProPanel pomoc_tytul{&pomoc_panel, "pomoc_tytul"};
  tk::Label pomoc{&pomoc_panel, "pomoc"};
  tk::Button Button2{&pomoc_panel, "Button2"};

  // Navigation row and notice line.
  tk::Button Button3{this, "Button3"};
  tk::Button Button4{this, "Button4"};
  tk::Button Button16{this, "Button16"};
  tk::Button Button5{this, "Button5"};
  tk::Button Button17{this, "Button17"};
  tk::Button Button6{this, "Button6"};
  tk::Button Button8{this, "Button8"};
  tk::Button Button25{this, "Button25"};  // "Registry": page rejestr
  tk::Label Label6{this, "Label6"};

  tk::PopupMenu popup{"popup"};  // the tray icon's menu

  // ===================== Non-visual components =====================
  // Built after the controls they act on; the scenario tests observe them.
 public:
  // Every call of the Task Scheduler, one after another, off the window's thread.
  components::WorkerQueue scheduler;
  components::TzelTrayIcon tray;
  components::TzelAutoRun auto_;  // "auto" in the form; a C++ keyword
  components::TzelOneInstance once;
  tk::Timer Timer1{"Timer1", 1500};
  tk::Timer skan_1h{"skan_1h", 3600000};
  tk::Timer rollup{"rollup", 20};
  tk::Timer rolldown{"rolldown", 100};
  // While the registry doctor waits to close, the controls not in view get
  // their windows: off the way to the window, and before start-up ends.
  tk::Timer later_windows{"later_windows", 500};
  // The registry doctor of this run, kept until the main window goes.
  std::unique_ptr<registry::Tdoktor> doktor;

 private:
  // Built after the controls it shows its work in, gone before them.
  Protection protection_;

  // The start-up has not run yet: the first idle moment runs it.
  bool start_up_pending_ = true;
  // The close box was used (the program ends after the exit scan).
  bool close_requested_ = false;
  // Set while a scan stops because the window was closed.
  bool stopping_ = false;
  // The user has been told that the program could not register itself.
  bool autorun_failure_told_ = false;
  // The status line has said that the Task Scheduler refused a call.
  bool logon_task_failure_told_ = false;
  std::string notice_;  // shown, and not yet replaced by the level
  // "Protection started" was logged: its end is logged once too.
  bool protection_logged_ = false;
  // Counts RefreshLists runs, so that one that pumps messages notices a newer
  // one having refilled the lists meanwhile.
  int refresh_generation_ = 0;
};

}  // namespace app
