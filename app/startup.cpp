// Start-up on the first idle moment of the message loop, and the ways the
// program ends.
#include "app/velmainfrm.h"
#include "app/version.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace app {

namespace {

constexpr const char* kNoRightsText =
    "Your current Windows security settings do not allow this program to modify registry. You may use this "
    "feature only on administrator accounts with full system rights.This program is currently useless for you. "
    "It will be removed from autostart group. Change your security settings.";

}  // namespace

void Tvelmain::ConnectStartup() {
  // The one-shot start-up flag, set when the window is created.
  startup.SetChecked(true);
  tk::App().OnIdle = [this](bool& done) { propsIdle(done); };
  OnClose = [this](tk::CloseAction& action) { FormClose(action); };
  auto_start.OnMouseUp = [this](tk::MouseButton, int, int) { auto_startMouseUp(); };
  auto_skan_rejestru.OnMouseUp = [this](tk::MouseButton, int, int) { auto_skan_rejestruMouseUp(); };
  auto_skan_pamieci.OnMouseUp = [this](tk::MouseButton, int, int) { auto_skan_pamieciMouseUp(); };
  auto_skan_koncowy.OnMouseUp = [this](tk::MouseButton, int, int) { auto_skan_koncowyMouseUp(); };
  auto_skan_zywy.OnMouseUp = [this](tk::MouseButton, int, int) { auto_skan_zywyMouseUp(); };
  Button7.OnClick = [this] { Button7Click(); };
  Button13.OnClick = [this] { Button13Click(); };
}

void Tvelmain::Loaded() {
  // The guard decides first: a second copy ends before its tray icon shows,
  // its watch starts or it takes away the running copy's start-with-Windows
  // registration (which would not be written again before the next start).
  once.Loaded();
  if (tk::App().Terminated()) return;
  tray.Loaded();
  auto_.Loaded();
  mon_HKLM.Loaded();
}

void Tvelmain::Step(const char* name) {
  if (call_trace) call_trace(name);
}

void Tvelmain::propsIdle(bool& done) {
  // Idle events of nested loops (modal windows, message pumping) come here
  // too: the flag goes first, before anything can pump.
  if (!startup.Checked()) return;
  startup.SetChecked(false);

  user_name = platform.system.UserName().value_or(std::string());

  ProgramVersion = VELTRANE_VERSION_TEXT;
  UpdateNumber = VELTRANE_UPDATE_NUMBER_TEXT;
  wersja.SetCaption(ProgramVersion);

  kontakt.SetCaption("error");

  white_list = std::make_unique<registry::IniStore>(platform.files, registry::kWhiteListPath);
  trashcan = std::make_unique<registry::IniStore>(platform.files, registry::kTrashcanPath);
  removed = std::make_unique<registry::IniStore>(platform.files, registry::kRemovedPath);
  black_list = std::make_unique<registry::IniStore>(platform.files, registry::kBlackListPath);
  tk::App().ProcessMessages();
  statistics = std::make_unique<registry::IniStore>(platform.files, registry::kStatisticsPath);
  config = std::make_unique<registry::IniStore>(platform.files, registry::ConfigPath(user_name));

  Step("LoadConfiguration");
  LoadConfiguration();
  Step("ShowProtectionLevel");
  ShowProtectionLevel();
  Step("RefreshProcessList");
  RefreshProcessList();
  Step("ShowRegistryDoctor");
  ShowRegistryDoctor();
  if (auto_skan_rejestru.Checked()) {
    Step("FullRegistryScan");
    FullRegistryScan();
  }
  if (auto_skan_pamieci.Checked()) {
    Step("ScanMemory");
    ScanMemory();
  }
  Step("RefreshLists");
  RefreshLists();
  if (auto_skan_zywy.Checked()) {
    Step("StartMonitor");
    StartMonitor();
  }
  // The timers start only now, however long the scans took.
  Step("Timer1");
  Timer1.SetEnabled(true);
  if (auto_skan_co_godzine.Checked()) {
    Step("skan_1h");
    skan_1h.SetEnabled(true);
  }
  Step("glowna");
  silnik.ShowPage(glowna);
}

void Tvelmain::FormClose(tk::CloseAction& action) {
  if (auto_skan_koncowy.Checked()) {
    Step("ScanLocalMachineRun");
    ScanLocalMachineRun();
  }
}

void Tvelmain::NoRightsExit() {
  tk::App().MessageBox(tk::MsgKind::Information, kNoRightsText);
  auto_.SetAutoRun(false);
  // The program ends even when the setting cannot be written.
  try {
    if (config) config->WriteString("glowna", "auto_start", "0");
  } catch (...) {
    tk::App().Terminate();
    throw;
  }
  tk::App().Terminate();
}

}  // namespace app
