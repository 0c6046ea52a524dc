// The main window Tvelmain: owns every engine of the program as one of its
// operations, the settings check boxes, the pages and the non-visual
// components.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "components/propanel.h"
#include "components/zel_autorun.h"
#include "components/zel_oneinstance.h"
#include "components/zel_registry_monitor.h"
#include "components/zel_trayicon.h"
#include "platform/platform.h"
#include "registry/doktorfrm.h"
#include "registry/handoff.h"
#include "registry/ini_store.h"
#include "registry/scan_gate.h"
#include "toolkit/control.h"
#include "toolkit/form.h"
#include "update/httpget.h"

namespace app {

class Tvelmain : public tk::Form {
 public:
  explicit Tvelmain(platform::Platform platform);
  ~Tvelmain() override;

  static constexpr int kClientWidth = 524;
  static constexpr int kRolledUpHeight = 101;
  static constexpr int kRolledDownHeight = 500;

  platform::Platform platform;  // references to the backends, cheap to copy

  // ===================== Program-wide values (start-up) =====================
  std::string user_name;
  std::string ProgramVersion;
  std::string UpdateNumber;
  // The data files, opened at start-up and kept until the program ends.
  std::unique_ptr<registry::IniStore> white_list;   // C:\Windows\list.vlt
  std::unique_ptr<registry::IniStore> trashcan;     // C:\Windows\trashcan.vlt
  std::unique_ptr<registry::IniStore> removed;      // C:\Windows\removed.vlt
  std::unique_ptr<registry::IniStore> black_list;   // C:\Windows\disallowed.vlt
  std::unique_ptr<registry::IniStore> statistics;   // C:\Windows\statistics.vlt
  std::unique_ptr<registry::IniStore> config;       // C:\Windows\<user>_config.vlt

  // ===================== Named operations =====================
  void RefreshLists();
  void ShowProtectionLevel();
  void LoadConfiguration();
  void SaveConfiguration();
  void NoRightsExit();
  void ShowHelpText(const std::string& text, bool use_default);
  void RefreshProcessList();
  void ShowRegistryDoctor();
  void FullRegistryScan();
  void ScanLocalMachineRun();
  void ScanMemory();
  // The program is ending, or its window was closed while a scan or the
  // start-up ran: nothing more is scanned, stopped or started (the exit
  // scan that a close asks for runs after this has been cleared).
  bool Ending() const;
  // The registry monitor's restart, unless the program is ending.
  void StartMonitor();
  // A balloon with the tray icon's current text, unless the program is ending.
  void ShowBalloon();
  // Process protection and the trashcan.
  void StopProcess(const std::string& path);
  void BlockProgram(const std::string& text);
  void MoveToTrashcan(const std::string& path);

  // ===================== Handlers =====================
  void propsIdle(bool& done);
  void FormClose(tk::CloseAction& action);
  void Exitprogram1Click();
  void auto_startMouseUp();
  void auto_skan_rejestruMouseUp();
  void auto_skan_pamieciMouseUp();
  void auto_skan_koncowyMouseUp();
  void auto_skan_zywyMouseUp();
  // The start-with-Windows registration could not be written.
  void autoRegisterFailed();
  void Button7Click();   // "Save" on page glowna
  void Button13Click();  // "Save" on page skan
  void rolldownbtnClick();
  void rollupTimer();
  void rolldownTimer();
  void Button2Click();   // "Help"
  void Button1Click();   // "Scan now" on page glowna: only changes the page
  void Button3Click();   // navigation: "Main page"
  void Button4Click();   // "Scan page"
  void Button16Click();  // "Memory"
  void Button5Click();   // "Trashcan"
  void Button17Click();  // "Lists"
  void Button6Click();   // "Close"
  void Button8Click();   // "Update"
  // The tray, the timers and the registry-change reaction (app/tray.cpp).
  void Timer1Timer();
  void skan_1hTimer();
  void mon_HKLMChange();
  void Showmainwindow1Click();
  void Scansystem1Click();
  void Showactiveprograms1Click();
  // Windows is ending the session: nothing may be left behind or wait.
  void EndSession();

  // ===================== Controls =====================
  // Header band (0-49), tagline (49-61), status line (61-85), roll button (84-101).
  components::TProPanel naglowek{this, "naglowek"};
  tk::Label wersja{&naglowek, "wersja"};
  tk::CheckBox startup{&naglowek, "startup"};  // the one-shot start-up flag, invisible
  components::TProPanel haslo{this, "haslo"};
  components::TProPanel status{this, "status"};
  tk::Button rolldownbtn{this, "rolldownbtn"};

  // Page book (left) and help panel (right).
  tk::PageBook silnik{this, "silnik"};
  tk::Page glowna{&silnik, "glowna"};
  tk::Page skan{&silnik, "skan"};
  tk::Page rejestr{&silnik, "rejestr"};
  tk::Page smietnik{&silnik, "smietnik"};
  tk::Page techniczna{&silnik, "techniczna"};
  tk::Page pamiec{&silnik, "pamiec"};
  tk::Page listy{&silnik, "listy"};
  tk::Page update{&silnik, "update"};

  components::TProPanel pomoc_panel{this, "pomoc_panel"};
  components::TProPanel pomoc_tytul{&pomoc_panel, "pomoc_tytul"};
  tk::Label pomoc{&pomoc_panel, "pomoc"};
  tk::Button Button2{&pomoc_panel, "Button2"};

  // Page glowna: settings and "Scan now".
  components::TProPanel glowna_gora{&glowna, "glowna_gora"};
  components::TProPanel glowna_gora_tytul{&glowna_gora, "glowna_gora_tytul"};
  tk::CheckBox auto_start{&glowna_gora, "auto_start"};
  tk::CheckBox auto_skan_rejestru{&glowna_gora, "auto_skan_rejestru"};
  tk::CheckBox auto_skan_pamieci{&glowna_gora, "auto_skan_pamieci"};
  tk::CheckBox auto_skan_koncowy{&glowna_gora, "auto_skan_koncowy"};
  tk::CheckBox auto_skan_zywy{&glowna_gora, "auto_skan_zywy"};
  tk::CheckBox auto_skan_co_godzine{&glowna_gora, "auto_skan_co_godzine"};
  tk::Button Button7{&glowna_gora, "Button7"};
  components::TProPanel glowna_dol{&glowna, "glowna_dol"};
  components::TProPanel glowna_dol_tytul{&glowna_dol, "glowna_dol_tytul"};
  tk::Button Button1{&glowna_dol, "Button1"};

  // Page skan.
  components::TProPanel skan_panel{&skan, "skan_panel"};
  components::TProPanel skan_tytul{&skan_panel, "skan_tytul"};
  tk::CheckBox skanuj_rejestr{&skan_panel, "skanuj_rejestr"};
  tk::CheckBox skanuj_pamiec{&skan_panel, "skanuj_pamiec"};
  tk::CheckBox skanuj_usun_cicho{&skan_panel, "skanuj_usun_cicho"};
  tk::CheckBox skanuj_cicho{&skan_panel, "skanuj_cicho"};  // invisible, disabled
  tk::Button Button13{&skan_panel, "Button13"};
  tk::ProgressBar postep{&skan_panel, "postep"};
  tk::Button Button12{&skan_panel, "Button12"};  // "Cancel", never enabled
  tk::Button Button11{&skan_panel, "Button11"};  // "Scan now"

  // Page rejestr: the registry entries the scans removed, to be put back.
  components::TProPanel rejestr_panel{&rejestr, "rejestr_panel"};
  components::TProPanel rejestr_tytul{&rejestr_panel, "rejestr_tytul"};
  tk::ListBox list_rejestr{&rejestr_panel, "list_rejestr"};
  tk::Button Button9{&rejestr_panel, "Button9"};

  // Page smietnik.
  components::TProPanel smietnik_panel{&smietnik, "smietnik_panel"};
  components::TProPanel smietnik_tytul{&smietnik_panel, "smietnik_tytul"};
  tk::ListBox list_smietnik{&smietnik_panel, "list_smietnik"};
  tk::Button Button21{&smietnik_panel, "Button21"};  // "Empty"
  tk::Button Button10{&smietnik_panel, "Button10"};  // "Recover"

  // Page techniczna: the hand-off channel between the engines and the dialogs.
  tk::Label nazwa_klucza{&techniczna, "nazwa_klucza"};
  tk::Label wartosc_klucza{&techniczna, "wartosc_klucza"};
  tk::Label sekcja_rejestru{&techniczna, "sekcja_rejestru"};
  tk::Label sciezka_pliku{&techniczna, "sciezka_pliku"};
  tk::Label nazwa_pliku{&techniczna, "nazwa_pliku"};
  tk::Label rozmiar_pliku{&techniczna, "rozmiar_pliku"};
  tk::Label kontakt{&techniczna, "kontakt"};
  tk::CheckBox usun{&techniczna, "usun"};
  tk::CheckBox czarna_lista{&techniczna, "czarna_lista"};
  tk::CheckBox zabron{&techniczna, "zabron"};
  registry::HandOffChannel channel{nazwa_klucza, wartosc_klucza, sekcja_rejestru, sciezka_pliku, nazwa_pliku,
                                   rozmiar_pliku, kontakt, usun, czarna_lista, zabron};

  // Page pamiec.
  components::TProPanel pamiec_panel{&pamiec, "pamiec_panel"};
  components::TProPanel pamiec_tytul{&pamiec_panel, "pamiec_tytul"};
  tk::Label Label3{&pamiec_panel, "Label3"};
  tk::ListBox list_pamiec{&pamiec_panel, "list_pamiec"};
  tk::Button Button20{&pamiec_panel, "Button20"};  // "Disallow"
  tk::Button Button15{&pamiec_panel, "Button15"};  // "Trash"
  tk::Button Button14{&pamiec_panel, "Button14"};  // "Stop"

  // Page listy.
  components::TProPanel listy_gora{&listy, "listy_gora"};
  components::TProPanel listy_gora_tytul{&listy_gora, "listy_gora_tytul"};
  tk::ListBox list_pozwolonych{&listy_gora, "list_pozwolonych"};
  tk::Button Button22{&listy_gora, "Button22"};  // "Refresh All"
  tk::Button Button18{&listy_gora, "Button18"};  // "Remove" (white list)
  components::TProPanel listy_dol{&listy, "listy_dol"};
  components::TProPanel listy_dol_tytul{&listy_dol, "listy_dol_tytul"};
  tk::ListBox list_zabronionych{&listy_dol, "list_zabronionych"};
  tk::Button Button19{&listy_dol, "Button19"};  // "Remove" (black list)

  // Page update.
  components::TProPanel update_panel{&update, "update_panel"};
  components::TProPanel update_tytul{&update_panel, "update_tytul"};
  tk::Label updwersja{&update_panel, "updwersja"};
  tk::Label updrozmiar{&update_panel, "updrozmiar"};
  tk::Label updrelease{&update_panel, "updrelease"};
  tk::ProgressBar sciaganie{&update_panel, "sciaganie"};
  tk::Button downloadbtn{&update_panel, "downloadbtn"};
  tk::Button Button24{&update_panel, "Button24"};  // "Check for updates"

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

  // ===================== Non-visual components =====================
  tk::PopupMenu popup{"popup"};  // the tray icon's menu
  components::TzelTrayIcon tray;
  components::TzelAutoRun auto_;  // "auto" in the form; a C++ keyword
  components::TzelRegistryMonitor mon_HKLM;
  components::TzelOneInstance once;
  tk::Timer Timer1{"Timer1", 1500};
  tk::Timer rollup{"rollup", 20};
  tk::Timer rolldown{"rolldown", 100};
  tk::Timer skan_1h{"skan_1h", 3600000};
  update::THTTPGet get_file{platform.network, platform.files};  // the update archive

  // ===================== Start-up and configuration (app/startup.cpp) =====================
  // Binds the start-up, close, settings and "Save" handlers and sets the
  // start-up flag; called from ConnectHandlers.
  void ConnectStartup();
  // Called once the window is built: the components act on their settings,
  // unless the program is already ending (a second copy).
  void Loaded();
  // Test hook: told the name of each step of the start-up sequence and of
  // the close event as it begins.
  std::function<void(const std::string& step)> call_trace;

  // ===================== Process protection (app/process_protection.cpp) =====================
  void Button14Click();  // "Stop" on page pamiec
  void Button15Click();  // "Trash" on page pamiec
  void Button20Click();  // "Disallow" on page pamiec
  void Button10Click();  // "Recover" on page smietnik
  void Button21Click();  // "Empty" on page smietnik
  // Binds the handlers above; called from ConnectHandlers.
  void ConnectProcessProtection();

  // ===================== Registry protection (app/registry_protection.cpp) =====================
  void Button11Click();  // "Scan now" on page skan; the hourly scan and the change reaction too
  void Button18Click();  // "Remove" on the white list
  void Button19Click();  // "Remove" on the black list
  void Button22Click();  // "Refresh All"
  // Binds the handlers above; called from ConnectHandlers.
  void ConnectRegistryProtection();
  // A scan asked for while another runs (or while the start-up runs) waits
  // for it to end.
  registry::ScanGate scan_gate;
  // The registry doctor of this run, kept until the main window goes.
  std::unique_ptr<registry::Tdoktor> doktor;

  // ===================== Removed registry entries (app/removed_page.cpp) =====================
  void Button25Click();  // navigation: "Registry"
  void Button9Click();   // "Recover" on page rejestr
  // Binds the handlers above; called from ConnectHandlers.
  void ConnectRemovedPage();
  // The statistics slot of each line of list_rejestr, filled with it by RefreshLists.
  std::vector<int> rejestr_slots;

  // ===================== Update (app/update_page.cpp) =====================
  void Button24Click();     // "Check for updates"
  void downloadbtnClick();  // "Download"
  void get_fileProgress(update::THTTPGet* Sender, int32_t TotalSize, int32_t Readed);
  void get_fileDoneFile(update::THTTPGet* Sender, const std::string& FileName, int32_t FileSize);
  void get_fileError(update::THTTPGet* Sender);
  // Binds the handlers above and sets get_file up; called from ConnectHandlers.
  void ConnectUpdate();
  // The folder of the update list and archive; the command line may name
  // another one (for tests).
  void SetUpdateSite(const std::string& url);

 private:
  std::string update_site_;

 private:
  // Captions, bounds, colours and fonts of every control (the window's look).
  void BuildLayout();
  // Connects every handler to its control, timer or event.
  void ConnectHandlers();
  // The tray icon with its menu, the registry monitor, the single-instance
  // guard and the timers (app/tray.cpp).
  void BuildPresence();
  // The plain labels, titles and texts that no code refers to by name.
  struct StaticTexts;
  std::unique_ptr<StaticTexts> texts_;
  void Step(const char* name);  // tells call_trace
  // The start-up sequence proper, run by propsIdle under the scan gate.
  void StartUp();
  // The scans themselves, for callers that already hold the scan gate.
  void FullRegistryScanNow();
  void MemoryScanNow();
  void ExitScanNow();
  // The close box was used (the program ends after the exit scan).
  bool close_requested_ = false;
  // Set while a scan stops because the window was closed.
  bool stopping_ = false;
  // The user has been told that the program could not register itself.
  bool autorun_failure_told_ = false;
  // Counts RefreshLists runs, so that one that pumps messages notices a newer
  // one having refilled the lists meanwhile.
  int refresh_generation_ = 0;
};

}  // namespace app
