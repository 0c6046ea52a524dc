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
#include "components/folder_monitor.h"
#include "components/propanel.h"
#include "components/zel_autorun.h"
#include "components/zel_oneinstance.h"
#include "components/zel_registry_monitor.h"
#include "components/zel_trayicon.h"
#include "platform/platform.h"
#include "registry/autorun.h"
#include "registry/doktorfrm.h"
#include "registry/events.h"
#include "registry/ini_store.h"
#include "registry/scan_gate.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace app {

// The settings, each stored in the configuration file under the name of its
// check box. The check box is the live setting, read where it acts.
struct Settings {
  // Page glowna.
  tk::CheckBox& auto_start;
  tk::CheckBox& auto_skan_rejestru;
  tk::CheckBox& auto_skan_pamieci;
  tk::CheckBox& auto_skan_koncowy;
  tk::CheckBox& auto_skan_zywy;
  tk::CheckBox& auto_skan_co_godzine;
  // Page skan.
  tk::CheckBox& skanuj_rejestr;
  tk::CheckBox& skanuj_pamiec;
  tk::CheckBox& skanuj_cicho;  // stored, never shown
  tk::CheckBox& skanuj_usun_cicho;
};

// The data files in the Windows folder, opened by the start-up and kept
// until the program ends; every change of one takes their shared lock.
struct DataFiles {
  DataFiles(platform::Files& files, const std::string& windows_folder, const std::string& user_name);
  registry::StoreLock lock;       // C:\Windows\veltrane.lck
  registry::IniStore white_list;  // C:\Windows\list.vlt
  registry::IniStore black_list;  // C:\Windows\disallowed.vlt
  registry::IniStore trashcan;    // C:\Windows\trashcan.vlt
  registry::IniStore statistics;  // C:\Windows\statistics.vlt
  registry::IniStore config;      // C:\Windows\<user>_config.vlt
};

class Engines;

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
  // Writes the event to the Windows event log; when the log will not take
  // it, the status line says so, once per run.
  void Log(events::Event event, const std::vector<std::string>& strings = {});
  void LoadConfiguration();
  void SaveConfiguration();
  void NoRightsExit();
  // Windows refused Veltrane a registry key: for a copy without an
  // administrator's rights the no-rights exit, otherwise a finding told once
  // per run and key (a deletion each time).
  void Refused(const std::string& key_text, registry::Refusal refusal);
  void ShowHelpText(const std::string& text, bool use_default);
  // The mouse over the control shows text in the help panel; nullptr: the
  // default help.
  void Hover(tk::Control& control, const char* text);
  void ShowPage(tk::Page& page) { silnik.ShowPage(page); }
  void RefreshProcessList();
  void ShowRegistryDoctor();
  // Under the scan gate: each waits for a running scan to end.
  void FullRegistryScan();
  void ScanLocalMachineRun();
  void ScanMemory();
  // "Scan now" on page skan, also the hourly scan and the change reaction:
  // the scans its options ask for.
  void ScanNow();
  // "Exit program": ends at once, without the exit scan.
  void ExitProgram();
  // The program is ending, or its window was closed while a scan or the
  // start-up ran: nothing more is scanned, stopped or started (the exit
  // scan that a close asks for runs after this has been cleared).
  bool Ending() const;
  // The watch of the autostart places: its restart, unless the program is
  // ending; its end until the next start; whether it runs.
  void StartMonitor();
  void StopMonitor();
  bool Watching() const;
  // The program's own change to a watched place: nobody is asked about it.
  void WithoutWatch(const std::function<void()>& change);
  // A balloon with the tray icon's current text, unless the program is ending.
  void ShowBalloon();
  // Process protection and the trashcan.
  void StopProcess(const std::string& path);
  void BlockProgram(const std::string& text);
  void MoveToTrashcan(const std::string& path);
  // The folder of the update list and archive; the command line may name
  // another one (for tests).
  void SetUpdateSite(const std::string& url) { update.SetUpdateSite(url); }

  // The settings and the data files (null until the start-up opens them).
  const Settings& settings() const { return settings_; }
  DataFiles* files() const { return files_.get(); }

 private:
  friend class Engines;

  // Captions, bounds, colours and fonts of the bands, the help panel and the
  // navigation row; each page lays out its own controls.
  void BuildLayout();
  // Hover help and the handlers of the window's own controls.
  void ConnectHandlers();
  // The tray icon with its menu, the registry monitor, the single-instance
  // guard and the timers (app/tray.cpp).
  void BuildPresence();
  // Called once the window is built: the components act on their settings,
  // unless the program is already ending (a second copy).
  void Loaded();

  // Start-up and ending (app/startup.cpp).
  void propsIdle(bool& done);
  void StartUp();
  void FormClose(tk::CloseAction& action);
  void autoRegisterFailed();
  // The scans themselves, for callers that already hold the scan gate.
  void FullRegistryScanNow();
  void MemoryScanNow();
  void ExitScanNow();

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

  std::unique_ptr<DataFiles> files_;
  std::string user_name_;

  // Header band (0-49), tagline (49-61), status line (61-85), roll button (84-101).
  components::TProPanel naglowek{this, "naglowek"};
  tk::Label wersja{&naglowek, "wersja"};
  components::TProPanel haslo{this, "haslo"};

 public:
  // Any operation may write the status line.
  components::TProPanel status{this, "status"};

 private:
  tk::Button rolldownbtn{this, "rolldownbtn"};

 public:
  // Page book (left) and help panel (right).
  tk::PageBook silnik{this, "silnik"};
  MainPage glowna{silnik, *this};
  ScanPage skan{silnik, *this};
  RemovedPage rejestr{silnik, *this};
  TrashcanPage smietnik{silnik, *this};
  MemoryPage pamiec{silnik, *this};
  ListsPage listy{silnik, *this};
  UpdatePage update{silnik, *this};

 private:
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
  components::TzelRegistryMonitor mon_HKLM;  // every autostart key
  components::FolderMonitor mon_folders;      // the Startup folders
  components::TzelOneInstance once;
  tk::Timer Timer1{"Timer1", 1500};
  tk::Timer skan_1h{"skan_1h", 3600000};
  tk::Timer rollup{"rollup", 20};
  tk::Timer rolldown{"rolldown", 100};
  // While the registry doctor waits to close, the controls not in view get
  // their windows: off the way to the window, and before start-up ends.
  tk::Timer later_windows{"later_windows", 500};
  // A scan asked for while another runs (or while the start-up runs) waits
  // for it to end.
  registry::ScanGate scan_gate;
  // The registry doctor of this run, kept until the main window goes.
  std::unique_ptr<registry::Tdoktor> doktor;

 private:
  const Settings settings_{glowna.auto_start,     glowna.auto_skan_rejestru,  glowna.auto_skan_pamieci,
                           glowna.auto_skan_koncowy, glowna.auto_skan_zywy,   glowna.auto_skan_co_godzine,
                           skan.skanuj_rejestr,   skan.skanuj_pamiec,         skan.skanuj_cicho,
                           skan.skanuj_usun_cicho};

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
  // The status line has said that the event log cannot be written.
  bool event_log_failure_told_ = false;
  // "Protection started" was logged: its end is logged once too.
  bool protection_logged_ = false;
  // The keys and refusals told in this run.
  std::set<std::pair<std::string, registry::Refusal>> refusals_told_;
  // Counts RefreshLists runs, so that one that pumps messages notices a newer
  // one having refilled the lists meanwhile.
  int refresh_generation_ = 0;
};

}  // namespace app
