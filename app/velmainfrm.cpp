#include "app/velmainfrm.h"

#include <initializer_list>
#include "toolkit/application.h"

namespace app {

namespace {

using components::TProPanel;
using tk::Rgb;

// Verdana and Tahoma come with Windows; Wine has its own Tahoma and finds
// the host's DejaVu Sans. The stencil face comes with Office only: a heavy
// sans stands in, bold like the caption.
constexpr const char* kVerdana = "Verdana, DejaVu Sans, Tahoma";
constexpr const char* kTahoma = "Tahoma, DejaVu Sans";
constexpr const char* kStencil = "Stencil, Arial Black, DejaVu Sans";

tk::Font Verdana(tk::Color color, bool bold = false, int size = 8) { return tk::Font{kVerdana, size, bold, color}; }
tk::Font Tahoma(tk::Color color, bool bold = false, int size = 8) { return tk::Font{kTahoma, size, bold, color}; }

// The window's own colours, as stored; text colours go with their fonts.
constexpr tk::Color kWindowBack = Rgb(0x58, 0x85, 0xC7), kWindowText = Rgb(0xE6, 0xF8, 0xF9);
constexpr tk::Color kHeaderBack = Rgb(0xFF, 0xFF, 0xFB), kHeaderText = Rgb(0x22, 0x5B, 0x86);
constexpr tk::Color kTaglineBack = Rgb(0xF9, 0x9E, 0x68);
constexpr tk::Color kStatusBack = Rgb(0x30, 0x56, 0x8F), kStatusText = Rgb(0xFC, 0xC7, 0xA7);
constexpr tk::Color kHelpBack = Rgb(0xFF, 0xFF, 0xDF), kHelpTitleBack = Rgb(0xFE, 0xD2, 0x6B),
                    kHelpTitleText = Rgb(0xF7, 0x80, 0x09), kHelpText = Rgb(0xDC, 0x89, 0x0E);
constexpr tk::Color kDarkTitleBack = Rgb(0x17, 0x29, 0x44);
constexpr tk::Color kScanBack = Rgb(0xD5, 0xF7, 0xCC), kScanText = Rgb(0x2B, 0x94, 0x1F),
                    kScanTitleBack = Rgb(0xA7, 0xEC, 0x7D), kScanTitleText = Rgb(0x11, 0x66, 0x15);
constexpr tk::Color kRegistryBack = Rgb(0xFF, 0xFF, 0xEC), kRegistryText = Rgb(0xF4, 0x79, 0x3E),
                    kRegistryTitleBack = Rgb(0xFE, 0xB7, 0x12), kRegistryTitleText = Rgb(0xFD, 0xE4, 0xCC);
constexpr tk::Color kMemoryBack = Rgb(0xFE, 0xFF, 0xF0), kMemoryText = Rgb(0x22, 0x5B, 0x86),
                    kMemoryTitleBack = Rgb(0x22, 0x5B, 0x86), kMemoryTitleText = Rgb(0xFC, 0xF7, 0xCF),
                    kWarningText = Rgb(0xE2, 0x76, 0x34);
constexpr tk::Color kWhiteBack = Rgb(0xFF, 0xFF, 0xF7), kWhiteText = Rgb(0x21, 0x31, 0x72),
                    kWhiteTitleBack = Rgb(0xF9, 0xB3, 0x0F), kWhiteTitleText = Rgb(0x22, 0x58, 0x8E);
constexpr tk::Color kBlackBack = Rgb(0x0C, 0x0B, 0x0D), kBlackTitleBack = Rgb(0x61, 0x67, 0x5C),
                    kBlackTitleText = Rgb(0xEB, 0xF9, 0xFA), kBlackListBack = Rgb(0xE7, 0xEE, 0xF1),
                    kBlackListText = Rgb(0x4B, 0x4B, 0x4B);
constexpr tk::Color kUpdateBack = Rgb(0xF0, 0x91, 0x8E), kUpdateText = Rgb(0xFF, 0xF1, 0xF0),
                    kUpdateTitleBack = Rgb(0x97, 0x17, 0x17), kUpdateTitleText = Rgb(0xFF, 0xEA, 0xE8);

constexpr const char* kDefaultHelp =
    "Veltrane can be used as protection against not needed programs which run in background or install "
    "themselves in your registry autorun section. With this program you can easily turn these off, disable "
    "them or remove them permanently. There is also a trashcan available, just in case you remove something "
    "useful. If you need more help, click on the button \"Help\" below.";

constexpr const char* kHelpFile = "c:\\Windows\\Veltrane.txt";

// Page book and its pages.
constexpr int kBookTop = 100, kBookWidth = 349, kBookHeight = 341;
constexpr int kTitleHeight = 20;
constexpr int kButtonWidth = 75, kButtonHeight = 25;

void Place(tk::Control& c, int left, int top, int width, int height, const std::string& caption = {}) {
  c.SetBounds(left, top, width, height);
  if (!caption.empty()) c.SetCaption(caption);
}

// A coloured panel without bevels: every caption panel of the window.
void Bar(TProPanel& p, int left, int top, int width, int height, tk::Color back, const tk::Font& font,
         const std::string& caption = {}) {
  p.SetColor(back);
  p.SetFont(font);
  Place(p, left, top, width, height, caption);
}

void Title(TProPanel& p, const std::string& caption, tk::Color back, const tk::Font& font) {
  Bar(p, 0, 0, p.Parent()->Width(), kTitleHeight, back, font, caption);
}

// A list shows the system's window colours unless it is given its own.
void List(tk::ListBox& list, int left, int top, int width, int height) {
  Place(list, left, top, width, height);
  list.SetFont(Verdana(tk::kDefaultColor));
}

// Bottom-right buttons of a page panel, right to left from the panel's edge.
void RightButtons(int panel_width, int top, std::initializer_list<std::pair<tk::Button*, const char*>> right_to_left) {
  int left = panel_width - 10;
  for (const auto& [button, caption] : right_to_left) {
    left -= kButtonWidth;
    Place(*button, left, top, kButtonWidth, kButtonHeight, caption);
    left -= 6;
  }
}

}  // namespace

// Labels and texts that no code refers to; named so that automation finds them.
struct Tvelmain::StaticTexts {
  explicit StaticTexts(Tvelmain& w)
      : Label1(&w.glowna_dol, "Label1"),
        Label2(&w.glowna_dol, "Label2"),
        Label4(&w.skan_panel, "Label4"),
        Label5(&w.skan_panel, "Label5"),
        Label7(&w.skan_panel, "Label7"),
        Label8(&w.rejestr_panel, "Label8"),
        Label9(&w.smietnik_panel, "Label9"),
        Label10(&w.pamiec_panel, "Label10"),
        Label11(&w.listy_gora, "Label11"),
        Label12(&w.listy_dol, "Label12"),
        Label13(&w.update_panel, "Label13"),
        Label14(&w.update_panel, "Label14"),
        Label15(&w.update_panel, "Label15"),
        Label16(&w.update_panel, "Label16"),
        Label17(&w.update_panel, "Label17"),
        Label18(&w.update_panel, "Label18"),
        Label19(&w.update_panel, "Label19") {}
  // glowna, lower panel
  tk::Label Label1, Label2;
  // skan: description, "Scanning options:", "Progress:"
  tk::Label Label4, Label5, Label7;
  // rejestr, smietnik, pamiec: descriptions
  tk::Label Label8, Label9, Label10;
  // listy: upper and lower descriptions
  tk::Label Label11, Label12;
  // update: description, details heading, three row captions, connection
  // note, "Update progress:"
  tk::Label Label13, Label14, Label15, Label16, Label17, Label18, Label19;
};

Tvelmain::Tvelmain(platform::Platform platform)
    : tk::Form("velmain", "Tvelmain"),
      platform(platform),
      tray(platform, *this, "VeltraneTrayIcon"),
      auto_(platform, components::TzelAutoExecKind::aekUserRun),
      mon_HKLM(platform.registry),
      once(platform) {
  BuildLayout();
  BuildPresence();
  ConnectHandlers();
  Loaded();
}

Tvelmain::~Tvelmain() {
  // The idle and session events must not reach a window that is gone.
  if (tk::Application::Exists()) {
    tk::App().OnIdle = nullptr;
    tk::App().OnEndSession = nullptr;
  }
}

void Tvelmain::BuildLayout() {
  texts_ = std::make_unique<StaticTexts>(*this);
  StaticTexts& t = *texts_;

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
  Place(startup, 4, 4, 80, 17, "zaczyna ");
  startup.SetChecked(true);
  startup.SetVisible(false);

  Bar(haslo, 0, 49, kClientWidth, 12, kTaglineBack, Verdana(tk::kDefaultColor),
      "Veltrane protects you against useless programs");
  Bar(status, 0, 61, kClientWidth, 24, kStatusBack, Tahoma(kStatusText, true, 10),
      "  Loading program... please be patient...");
  status.SetAlignment(components::taLeftJustify);
  Place(rolldownbtn, 0, 84, 525, 17, "Click here to roll down the menu");

  // ---- Page book on the left, help panel on the right.
  Place(silnik, 0, kBookTop, kBookWidth, kBookHeight);
  for (tk::Page* page : silnik.Pages()) Place(*page, 0, 0, kBookWidth, kBookHeight);

  Bar(pomoc_panel, kBookWidth, kBookTop, 177, 333, kHelpBack, Verdana(kHelpText));
  Title(pomoc_tytul, "Help", kHelpTitleBack, Tahoma(kHelpTitleText, true));
  Place(pomoc, 8, 28, 161, 257, kDefaultHelp);
  pomoc.SetAlignment(tk::Align::Center);
  pomoc.SetWordWrap(true);
  Place(Button2, 51, 296, kButtonWidth, kButtonHeight, "Help");

  // ---- Page glowna: settings above, "Scan now" below.
  const int w = kBookWidth;
  Bar(glowna_gora, 0, 0, w, 205, kWindowBack, Verdana(kWindowText));
  Title(glowna_gora_tytul, "System protection", kDarkTitleBack, Tahoma(kWindowText, true));
  const std::pair<tk::CheckBox*, const char*> settings[] = {
      {&auto_start, "Run program on Windows startup (recommended)"},
      {&auto_skan_rejestru, "Scan registry on program startup (recommended)"},
      {&auto_skan_pamieci, "Scan system on program startup (recommended)"},
      {&auto_skan_koncowy, "Scan registry on program exit (recommended)"},
      {&auto_skan_zywy, "Live registry test (local machine only)"},
      {&auto_skan_co_godzine, "Make a default scan every hour"},
  };
  int y = 28;
  for (const auto& [box, caption] : settings) {
    Place(*box, 10, y, w - 20, 17, caption);
    y += 21;
  }
  RightButtons(w, 170, {{&Button7, "Save"}});

  Bar(glowna_dol, 0, 207, w, kBookHeight - 207, kScanBack, Verdana(kScanText));
  Title(glowna_dol_tytul, "Scanning", kScanTitleBack, Verdana(kScanTitleText, true));
  Place(t.Label1, 10, 30, w - 20, 14, "Perform a full system check periodically.");
  t.Label1.SetFont(Verdana(kScanText, true));
  Place(t.Label2, 10, 50, w - 20, 28,
        "You must scan your system perdiodically to make sure\r\nits free of illegitimate programs.");
  RightButtons(w, 96, {{&Button1, "Scan now"}});

  // ---- Page skan.
  Bar(skan_panel, 0, 0, w, kBookHeight, kScanBack, Verdana(kScanText));
  Title(skan_tytul, "Scanning", kScanTitleBack, Verdana(kScanTitleText, true));
  Place(t.Label4, 10, 28, w - 20, 56,
        "Proram will now search for illegitimate programs in your system. If it finds an unknown process it "
        "will ask you what to do. If you decide to remove a program it will be backed up in the trashcan.");
  t.Label4.SetWordWrap(true);
  Place(t.Label5, 10, 92, w - 20, 14, "Scanning options:");
  Place(skanuj_rejestr, 20, 110, w - 30, 17, "Scan registry");
  Place(skanuj_pamiec, 20, 130, w - 30, 17, "Scan memory (system)");
  Place(skanuj_usun_cicho, 20, 150, w - 30, 17, "Silently remove from memory");
  Place(skanuj_cicho, 20, 170, 120, 17, "Silent");
  skanuj_cicho.SetVisible(false);
  skanuj_cicho.SetEnabled(false);
  RightButtons(w, 180, {{&Button13, "Save"}});
  Place(t.Label7, 10, 222, w - 20, 14, "Progress:");
  Place(postep, 10, 240, w - 20, 18);
  RightButtons(w, 304, {{&Button11, "Scan now"}, {&Button12, "Cancel"}});
  Button12.SetEnabled(false);

  // ---- Page rejestr.
  Bar(rejestr_panel, 0, 0, w, kBookHeight, kRegistryBack, Verdana(kRegistryText));
  Title(rejestr_tytul, "Removed Registry Sections", kRegistryTitleBack, Verdana(kRegistryTitleText, true));
  Place(t.Label8, 10, 28, w - 20, 42,
        "Here is the list of all removed registry sections. If you\r\ndecided that any of them is necessary, "
        "select it and click\r\non the \"Recover\" button.");
  List(list_rejestr, 10, 76, w - 20, 220);
  RightButtons(w, 304, {{&Button9, "Recover"}});

  // ---- Page smietnik.
  Bar(smietnik_panel, 0, 0, w, kBookHeight, kWindowBack, Verdana(kWindowText));
  Title(smietnik_tytul, "Trashcan", kDarkTitleBack, Verdana(kWindowText, true));
  Place(t.Label9, 10, 28, w - 20, 42,
        "If you removed something important accidentally, it can\r\nbe recovered here. Just click on it in the "
        "list and then \r\nclick on the \"Recover\" button.");
  List(list_smietnik, 10, 76, w - 20, 220);
  RightButtons(w, 304, {{&Button10, "Recover"}, {&Button21, "Empty"}});

  // ---- Page techniczna: the hand-off channel, never shown; the captions are
  // notes to the developer until the engines write the values.
  const std::pair<tk::Control*, const char*> channel[] = {
      {&nazwa_klucza, "nazwa zakazonego klucza"},
      {&wartosc_klucza, "wartosc zakazonego klucza"},
      {&sekcja_rejestru, "sekcja rejestru"},
      {&sciezka_pliku, "sciezka pliku"},
      {&nazwa_pliku, "nazwa pliku"},
      {&rozmiar_pliku, "rozmiar pliku"},
      {&kontakt, "kontakt - okresla co ma zrobic glowne okno dla childa"},
      {&usun, "usun wybrany program/ klucz z dysku/ rejestru"},
      {&czarna_lista, "dodaj do czarnej listy"},
      {&zabron, "oznacza, czy ma byc dodane do listy zabronionych procesow"},
  };
  y = 10;
  for (const auto& [member, caption] : channel) {
    Place(*member, 10, y, w - 20, 17, caption);
    y += 20;
  }

  // ---- Page pamiec.
  Bar(pamiec_panel, 0, 0, w, kBookHeight, kMemoryBack, Verdana(kMemoryText));
  Title(pamiec_tytul, "Memory Usage", kMemoryTitleBack, Verdana(kMemoryTitleText, true));
  Place(t.Label10, 10, 26, w - 20, 42,
        "This tab shows you all the processes that are currently running in your system. You can stop them by "
        "clicking on the \"Stop\" button.");
  t.Label10.SetWordWrap(true);
  Place(Label3, 10, 70, w - 14, 56,
        "DO NOT use this option unless you know what you\r\nare doing. If you stop a system vital process\r\n"
        "Windows may be restarted or stop responding. This\r\nmay lead to data loss. Feel warned.");
  Label3.SetFont(Verdana(kWarningText, true));
  List(list_pamiec, 10, 132, w - 20, 164);
  RightButtons(w, 304, {{&Button14, "Stop"}, {&Button15, "Trash"}, {&Button20, "Disallow"}});

  // ---- Page listy: the white list above, the black list below.
  Bar(listy_gora, 0, 0, w, 185, kWhiteBack, Verdana(kWhiteText));
  Title(listy_gora_tytul, "Allowed List (The White List)", kWhiteTitleBack, Verdana(kWhiteTitleText, true));
  Place(t.Label11, 10, 25, w - 20, 14, "Here is a list of all allowed registry entries.");
  List(list_pozwolonych, 10, 43, w - 20, 105);
  RightButtons(w, 154, {{&Button18, "Remove"}, {&Button22, "Refresh All"}});
  Bar(listy_dol, 0, 187, w, kBookHeight - 187, kBlackBack, Verdana(kBlackTitleText));
  Title(listy_dol_tytul, "Not Allowed List (The Black List)", kBlackTitleBack, Verdana(kBlackTitleText, true));
  Place(t.Label12, 10, 25, w - 20, 14, "The list of all programs you do not allow to run.");
  Place(list_zabronionych, 10, 43, w - 20, 71);
  list_zabronionych.SetColor(kBlackListBack);
  list_zabronionych.SetFont(Verdana(kBlackListText));
  RightButtons(w, 120, {{&Button19, "Remove"}});

  // ---- Page update.
  Bar(update_panel, 0, 0, w, kBookHeight, kUpdateBack, Verdana(kUpdateText));
  Title(update_tytul, "Program Update", kUpdateTitleBack, Verdana(kUpdateTitleText, true));
  Place(t.Label13, 10, 28, w - 20, 56,
        "From this page you can update Veltrane to the new version (if any is available). Just click on the "
        "\"Search for updates\" button. Program will ask for your premisson before downloading the new version.");
  t.Label13.SetWordWrap(true);
  Place(t.Label14, 10, 92, w - 20, 14, "UPDATE DETAILS:");
  const std::pair<tk::Label*, tk::Label*> details[] = {
      {&t.Label15, &updwersja}, {&t.Label16, &updrozmiar}, {&t.Label17, &updrelease}};
  const char* detail_captions[] = {"Update to version:", "File size:", "File released:"};
  y = 112;
  for (int i = 0; i < 3; ++i) {
    Place(*details[i].first, 20, y, 125, 14, detail_captions[i]);
    Place(*details[i].second, 150, y, w - 160, 14, "n/a");
    y += 18;
  }
  Place(t.Label18, 10, 174, w - 20, 14, "This update needs an active internet connection.");
  Place(t.Label19, 10, 200, w - 20, 14, "Update progress:");
  Place(sciaganie, 10, 218, w - 20, 18);
  Place(downloadbtn, w - 10 - 110 - 6 - kButtonWidth, 304, kButtonWidth, kButtonHeight, "Download");
  downloadbtn.SetEnabled(false);
  Place(Button24, w - 10 - 110, 304, 110, kButtonHeight, "Check for updates");

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
  Button3.OnClick = [this] { Button3Click(); };
  Button4.OnClick = [this] { Button4Click(); };
  Button16.OnClick = [this] { Button16Click(); };
  Button5.OnClick = [this] { Button5Click(); };
  Button17.OnClick = [this] { Button17Click(); };
  Button6.OnClick = [this] { Button6Click(); };
  Button8.OnClick = [this] { Button8Click(); };
  Button1.OnClick = [this] { Button1Click(); };
  Button2.OnClick = [this] { Button2Click(); };
  rolldownbtn.OnClick = [this] { rolldownbtnClick(); };
  rollup.SetOnTimer([this] { rollupTimer(); });
  rolldown.SetOnTimer([this] { rolldownTimer(); });

  // Hover help: only these controls have it; others leave the text as it is.
  const std::pair<tk::Control*, const char*> hover_help[] = {
      {&status,
       "This shows you the current level of system protection. If you change settings in the main panel, this "
       "will show you how important these changes are."},
      {&rolldownbtn, "Click on this button to roll the main window up/ down."},
      {&auto_start, "Use this to run Veltrane when system starts up. This is highly recommended."},
      {&auto_skan_rejestru,
       "Orders the program to scan your registry on Windows startup. This scan will find all programs from the "
       "autostart group and let you manage them. This is highly recommended."},
      {&auto_skan_pamieci,
       "This will scan your memory and find all the programs which you do not allow to run. For the maximal "
       "comfort, turn on the \"Silently remove\" option."},
      {&auto_skan_koncowy,
       "Scans registry when you close Windows or Veltrane. This will remove all the unneeded sections from "
       "regisrty so you will not be suprised with the new programs running with your system."},
      {&auto_skan_zywy, "This is not yet available."},
      {&Button7, "Saves current configuration. Use this after you change configuration."},
      {&Button1, "Move to the scan page."},
      {&skanuj_rejestr, "Perform a registry scan."},
      {&skanuj_pamiec, "Perform a memory scan."},
      {&skanuj_usun_cicho, "Do not interrupt me when stopping processes."},
      {&postep, "Current progress."},
      {&Button13, "Save configuration."},
      {&Button11, "Perform a scan now!"},
      {&list_smietnik, "Shows all the programs (with their access paths) that you removed from the system."},
      {&Button21, "Deletes selected program permanently."},
      {&Button10, "Moves selscted program to the previous directory."},
      {&list_pamiec, "Shows all the programs that are currently running in your system."},
      {&Label3, "Beware everything on this page!!! Remember, that you are using this program at your risk."},
      {&Button20,
       "Add this program to the list of disallowed processes. Disallowed program will be stopped if it starts "
       "with your system."},
      {&Button15, "Move this program to the trashcan."},
      {&Button14, "Stop this program immediately."},
      {&list_pozwolonych, "Shows all the resistry entries that were confirmed legitimate."},
      {&Button22, "Refresh the lists."},
      {&Button18, "Remove selected item from the list."},
      {&list_zabronionych, "Shows all the programs that waste your system resources."},
      {&Button19, "Remove selected item form the list."},
      {&Button2, "Opens readme file."},
      {&Button3, "Settings and statistics page."},
      {&Button4, "Allows you to scan your system."},
      {&Button16, "Shows all programs currently running in your system."},
      {&Button5, "Shows all removed programs. You can restore them or delete them permanently from here."},
      {&Button25, "Shows all registry entries removed by a scan. You can put them back from here."},
      {&Button17, "Shows the White and the Black List."},
      {&Button6, "Closes this screen."},
  };
  for (const auto& [control, text] : hover_help)
    control->OnMouseMove = [this, help = std::string(text)](int, int) { ShowHelpText(help, false); };
  for (tk::Control* background : std::initializer_list<tk::Control*>{this, &naglowek, &pomoc_panel, &glowna_gora,
                                                                       &glowna_dol})
    background->OnMouseMove = [this](int, int) { ShowHelpText(std::string(), true); };

  ConnectStartup();  // start-up, close, settings and "Save" handlers (app/startup.cpp)
  ConnectProcessProtection();
  ConnectRegistryProtection();
  ConnectRemovedPage();
  ConnectUpdate();
}

void Tvelmain::ShowHelpText(const std::string& text, bool use_default) {
  pomoc.SetCaption(use_default ? std::string(kDefaultHelp) : text);
}

// ---- Navigation

void Tvelmain::Button3Click() { silnik.ShowPage(glowna); }
void Tvelmain::Button4Click() { silnik.ShowPage(skan); }
void Tvelmain::Button1Click() { silnik.ShowPage(skan); }  // only the page: no scan starts

void Tvelmain::Button16Click() {
  RefreshProcessList();
  silnik.ShowPage(pamiec);
}

void Tvelmain::Button5Click() { silnik.ShowPage(smietnik); }

void Tvelmain::Button17Click() {
  RefreshLists();
  silnik.ShowPage(listy);
}

void Tvelmain::Button8Click() { silnik.ShowPage(update); }

void Tvelmain::Button2Click() {
  // A missing file or viewer is the shell's to report, not ours.
  platform.shell.Open(kHelpFile);
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

}  // namespace app
