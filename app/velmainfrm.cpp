#include "app/velmainfrm.h"

#include <cstdio>

#include "app/look.h"
#include "process/process_list.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace app {

namespace {

using namespace look;

constexpr tk::Color kHeaderBack = Rgb(0xFF, 0xFF, 0xFB), kHeaderText = Rgb(0x22, 0x5B, 0x86);
constexpr tk::Color kTaglineBack = Rgb(0xF9, 0x9E, 0x68);
constexpr tk::Color kStatusBack = Rgb(0x30, 0x56, 0x8F), kStatusText = Rgb(0xFC, 0xC7, 0xA7);
constexpr tk::Color kHelpBack = Rgb(0xFF, 0xFF, 0xDF), kHelpTitleBack = Rgb(0xFE, 0xD2, 0x6B),
                    kHelpTitleText = Rgb(0xF7, 0x80, 0x09), kHelpText = Rgb(0xDC, 0x89, 0x0E);

constexpr const char* kDefaultHelp =
    "Veltrane can be used as protection against not needed programs which run in background or install "
    "themselves in your registry autorun section. With this program you can easily turn these off, disable "
    "them or remove them permanently. There is also a trashcan available, just in case you remove something "
    "useful. If you need more help, click on the button \"Help\" below.";

// Where the installer puts the help file: "c:\Windows\Veltrane.txt", the
// drive letter in lower case as the shell has always been given it.
std::string HelpFile(std::string windows_folder) {
  if (windows_folder.size() >= 2 && windows_folder[1] == ':' && windows_folder[0] >= 'A' && windows_folder[0] <= 'Z')
    windows_folder[0] = char(windows_folder[0] - 'A' + 'a');
  return registry::DataPath(windows_folder, "Veltrane.txt");
}

}  // namespace

Tvelmain::Tvelmain(platform::Platform platform)
    : tk::Form("velmain", "Tvelmain"),
      platform(platform),
      scheduler(platform.system),
      tray(platform, *this, "VeltraneTrayIcon"),
      auto_(platform, components::TzelAutoExecKind::aekUserRun, scheduler),
      once(platform),
      protection_(*this, platform) {
  BuildLayout();
  BuildPresence();
  ConnectHandlers();
  Loaded();
}

Tvelmain::~Tvelmain() {
  LogProtectionEnded();
  // The idle and session events must not reach a window that is gone.
  if (tk::Application::Exists()) {
    tk::App().OnIdle = nullptr;
    tk::App().OnEndSession = nullptr;
  }
}

void Tvelmain::BuildLayout() {
  SetCaption("Veltrane");
  SetBorder(tk::BorderStyle::Single);
  SetBorderIcons(tk::kSystemMenu | tk::kMinimize);
  SetPosition(tk::FormPosition::ScreenCenter);
  SetColor(kWindowBack);
  SetFont(Verdana(kWindowText));
  SetClientSize(kClientWidth, kRolledUpHeight);

  // ---- Bands above the roll button: all that shows rolled up.
  Bar(naglowek, 0, 0, kClientWidth, 49, kHeaderBack, tk::Font{kStencil, 28, true, kHeaderText}, "Veltrane");
  Place(wersja, 414, 29, 104, 17, "Loading...");
  wersja.SetAlignment(tk::Align::Right);
  wersja.SetFont(Verdana(kHeaderText, true, 10));

  Bar(haslo, 0, 49, kClientWidth, 12, kTaglineBack, Verdana(tk::kDefaultColor),
      "Veltrane protects you against useless programs");
  Bar(status, 0, 61, kClientWidth, 24, kStatusBack, Tahoma(kStatusText, true, 10),
      "  Loading program... please be patient...");
  status.SetAlignment(components::taLeftJustify);
  Place(rolldownbtn, 0, 84, 525, 17, "Click here to roll down the menu");

  // ---- Page book on the left (each page lays itself out), help panel on the right.
  Place(silnik, 0, kBookTop, kBookWidth, kBookHeight);

  Bar(pomoc_panel, kBookWidth, kBookTop, 177, 333, kHelpBack, Verdana(kHelpText));
  Title(pomoc_tytul, "Help", kHelpTitleBack, Tahoma(kHelpTitleText, true));
  Place(pomoc, 8, 28, 161, 257, kDefaultHelp);
  pomoc.SetAlignment(tk::Align::Center);
  pomoc.SetWordWrap(true);
  Place(Button2, 51, 296, kButtonWidth, kButtonHeight, "Help");

  // ---- Navigation row and notice line.
  // "Registry" sits beside "Trashcan": both take back what was removed.
  const std::pair<tk::Button*, const char*> navigation[] = {
      {&Button3, "Main page"}, {&Button4, "Scan page"}, {&Button16, "Memory"}, {&Button5, "Trashcan"},
      {&Button25, "Registry"}, {&Button17, "Lists"},    {&Button6, "Close"},   {&Button8, "Update"},
  };
  int x = 3;
  for (const auto& [button, caption] : navigation) {
    Place(*button, x, 440, 62, 25, caption);
    x += 65;
  }
  Place(Label6, 6, 472, kClientWidth - 12, 13,
        "Veltrane is free software by Quorvik. You use it at your own risk.");

  silnik.ShowPage(glowna);
}

void Tvelmain::ConnectHandlers() {
  tk::App().OnIdle = [this](bool& done) { propsIdle(done); };
  OnClose = [this](tk::CloseAction& action) { FormClose(action); };
  auto_.OnRegisterFailed = [this] { autoRegisterFailed(); };
  auto_.OnLogonTaskWithheld = [this] {
    ShowStatus("Veltrane starts with Windows with full rights only when it is installed under Program Files.");
  };
  auto_.OnLogonTaskFailed = [this](const std::string& task, uint32_t error) {
    protection_.Log(events::kAccessRefused, {task, "change"});
    if (logon_task_failure_told_) return;
    logon_task_failure_told_ = true;
    char text[128];
    std::snprintf(text, sizeof text,
                  "Veltrane could not set up its start with Windows in the Task Scheduler (error 0x%08X).",
                  unsigned(error));
    ShowStatus(text);
  };

  // Navigation: the lists, the trashcan and the running programs are read
  // anew when their page is shown.
  Button3.OnClick = [this] { silnik.ShowPage(glowna); };
  Button4.OnClick = [this] { silnik.ShowPage(skan); };
  Button16.OnClick = [this] {
    RefreshProcessList();
    silnik.ShowPage(pamiec);
  };
  Button5.OnClick = [this] { silnik.ShowPage(smietnik); };
  Button25.OnClick = [this] {
    RefreshLists();
    silnik.ShowPage(rejestr);
  };
  Button17.OnClick = [this] {
    RefreshLists();
    silnik.ShowPage(listy);
  };
  Button6.OnClick = [this] { Button6Click(); };
  Button8.OnClick = [this] { silnik.ShowPage(update); };
  Button2.OnClick = [this] { Button2Click(); };
  rolldownbtn.OnClick = [this] { rolldownbtnClick(); };
  rollup.SetOnTimer([this] { rollupTimer(); });
  rolldown.SetOnTimer([this] { rolldownTimer(); });
  later_windows.SetOnTimer([this] {
    later_windows.SetEnabled(false);
    CreateWaitingHandles();
  });

  // Hover help: only these controls and the pages' own have it; others leave
  // the text as it is.
  Hover(status,
        "This shows you the current level of system protection. If you change settings in the main panel, this "
        "will show you how important these changes are.");
  Hover(rolldownbtn, "Click on this button to roll the main window up/ down.");
  Hover(Button2, "Opens readme file.");
  Hover(Button3, "Settings and statistics page.");
  Hover(Button4, "Allows you to scan your system.");
  Hover(Button16, "Shows all programs currently running in your system.");
  Hover(Button5, "Shows all removed programs. You can restore them or delete them permanently from here.");
  Hover(Button25, "Shows all registry entries removed by a scan. You can put them back from here.");
  Hover(Button17, "Shows the White and the Black List.");
  Hover(Button6, "Closes this screen.");
  for (tk::Control* background : {static_cast<tk::Control*>(this), static_cast<tk::Control*>(&naglowek),
                                  static_cast<tk::Control*>(&pomoc_panel)})
    Hover(*background, nullptr);
}

void Tvelmain::ShowStatus(const std::string& text) {
  constexpr size_t kLongest = 60;  // characters in the big type
  const tk::Font font = text.size() > kLongest ? Tahoma(kStatusText, false, 8) : Tahoma(kStatusText, true, 10);
  if (status.EffectiveFont() != font) status.SetFont(font);
  status.SetCaption(text);
}

void Tvelmain::Hover(tk::Control& control, const char* text) {
  if (!text) {
    control.OnMouseMove = [this](int, int) { ShowHelpText(std::string(), true); };
    return;
  }
  control.OnMouseMove = [this, help = std::string(text)](int, int) { ShowHelpText(help, false); };
}

void Tvelmain::ShowHelpText(const std::string& text, bool use_default) {
  pomoc.SetCaption(use_default ? std::string(kDefaultHelp) : text);
}

void Tvelmain::Button2Click() {
  // Notepad of the system folder, not what the person's file associations
  // name (any program of theirs can change those): it runs with this
  // program's rights. A missing file is Notepad's to report.
  const std::string windows = platform.processes.WindowsFolder();
  platform.shell.Start(windows + "\\System32\\notepad.exe", "\"" + HelpFile(windows) + "\"", windows);
}

// ---- Roll animation. Client height 101 is the rolled-up marker others test.

void Tvelmain::rolldownbtnClick() {
  if (ClientHeight() == kRolledUpHeight)
    rolldown.SetEnabled(true);
  else
    rollup.SetEnabled(true);
}

void Tvelmain::rolldownTimer() {
  rollup.SetEnabled(false);
  SetScreenTop(90);
  if (ClientHeight() >= kRolledDownHeight) {
    rolldown.SetEnabled(false);
    SetClientHeight(kRolledDownHeight);
  } else {
    tk::App().ProcessMessages();
    SetClientHeight(ClientHeight() + 25);
  }
}

void Tvelmain::rollupTimer() {
  rolldown.SetEnabled(false);
  if (ClientHeight() < kRolledUpHeight + 1) {
    SetClientHeight(kRolledUpHeight);
    rollup.SetEnabled(false);
  } else {
    tk::App().ProcessMessages();
    SetClientHeight(ClientHeight() - 10);
  }
}

void Tvelmain::RefreshProcessList() { pamiec.Show(process::ProcessPaths(platform.processes)); }

void Tvelmain::ShowRegistryDoctor() {
  // Shown once per run; never replaced while its own loop is running.
  if (doktor && doktor->Modal()) return;
  doktor = std::make_unique<registry::Tdoktor>(protection_);
  {
    // Its repairs are the program's own writes to the watched keys.
    registry::WatchPause pause(protection_, registry::WatchAfter::OwnChange);
    doktor->ShowModal();
  }
  // The registry is broken: the program does not run.
  if (doktor->Corrupted()) tk::App().Terminate();
}

}  // namespace app
