// Pages glowna and skan: the settings, and the two "Scan now" buttons.
#include "app/look.h"
#include "app/pages.h"
#include "app/velmainfrm.h"
#include "toolkit/application.h"

namespace app {

using namespace look;

namespace {
constexpr tk::Color kScanBack = Rgb(0xD5, 0xF7, 0xCC), kScanText = Rgb(0x2B, 0x94, 0x1F),
                    kScanTitleBack = Rgb(0xA7, 0xEC, 0x7D), kScanTitleText = Rgb(0x11, 0x66, 0x15);

template <size_t N>
void ShowSettings(const std::array<SettingBox, N>& boxes, const registry::Settings& settings) {
  for (const SettingBox& b : boxes) b.box->SetChecked(settings.*b.flag);
}

// Each click writes the setting back before any other handler of the click
// runs.
template <size_t N>
void WriteBack(const std::array<SettingBox, N>& boxes, Tvelmain& w) {
  for (const SettingBox& b : boxes)
    b.box->OnClick = [&w, b] { w.protection().EditSettings().*b.flag = b.box->Checked(); };
}

}  // namespace

MainPage::MainPage(tk::PageBook& book, Tvelmain& w) : tk::Page(&book, "glowna"), w_(w) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(glowna_gora, 0, 0, width, 205, kWindowBack, Verdana(kWindowText));
  Title(glowna_gora_tytul, "System protection", kDarkTitleBack, Tahoma(kWindowText, true));
  const std::pair<tk::CheckBox*, const char*> settings[] = {
      {&auto_start, "Run program on Windows startup (recommended)"},
      {&auto_skan_rejestru, "Scan registry on program startup (recommended)"},
      {&auto_skan_pamieci, "Scan system on program startup (recommended)"},
      {&auto_skan_koncowy, "Scan registry on program exit (recommended)"},
      {&auto_skan_zywy, "Live autostart test"},
      {&auto_skan_co_godzine, "Make a default scan every hour"},
  };
  int y = 28;
  for (const auto& [box, caption] : settings) {
    Place(*box, 10, y, width - 20, 17, caption);
    y += 21;
  }
  RightButtons(width, 170, {{&Button7, "Save"}});

  Bar(glowna_dol, 0, 207, width, kBookHeight - 207, kScanBack, Verdana(kScanText));
  Title(glowna_dol_tytul, "Scanning", kScanTitleBack, Verdana(kScanTitleText, true));
  Place(Label1, 10, 30, width - 20, 14, "Perform a full system check periodically.");
  Label1.SetFont(Verdana(kScanText, true));
  Place(Label2, 10, 50, width - 20, 28,
        "You must scan your system perdiodically to make sure\r\nits free of illegitimate programs.");
  RightButtons(width, 96, {{&Button1, "Scan now"}});

  WriteBack(setting_boxes_, w_);
  auto_start.OnMouseUp = [this](tk::MouseButton, int, int) { auto_startMouseUp(); };
  // The protection level follows the three scan settings at once.
  for (tk::CheckBox* box : {&auto_skan_rejestru, &auto_skan_pamieci, &auto_skan_koncowy})
    box->OnMouseUp = [this](tk::MouseButton, int, int) { w_.ShowProtectionLevel(); };
  auto_skan_zywy.OnMouseUp = [this](tk::MouseButton, int, int) { auto_skan_zywyMouseUp(); };
  Button7.OnClick = [this] { Button7Click(); };
  Button1.OnClick = [this] { Button1Click(); };

  w_.Hover(auto_start, "Use this to run Veltrane when system starts up. This is highly recommended.");
  w_.Hover(auto_skan_rejestru,
           "Orders the program to scan your registry on Windows startup. This scan will find all programs from "
           "the autostart group and let you manage them. This is highly recommended.");
  w_.Hover(auto_skan_pamieci,
           "This will scan your memory and find all the programs which you do not allow to run. For the maximal "
           "comfort, turn on the \"Silently remove\" option.");
  w_.Hover(auto_skan_koncowy,
           "Scans registry when you close Windows or Veltrane. This will remove all the unneeded sections from "
           "regisrty so you will not be suprised with the new programs running with your system.");
  w_.Hover(auto_skan_zywy,
           "Veltrane watches every place from which programs start at log-on while it runs, and asks you at once "
           "when one changes.");
  w_.Hover(Button7, "Saves current configuration. Use this after you change configuration.");
  w_.Hover(Button1, "Move to the scan page.");
  w_.Hover(glowna_gora, nullptr);
  w_.Hover(glowna_dol, nullptr);
}

void MainPage::Show(const registry::Settings& settings) { ShowSettings(setting_boxes_, settings); }

void MainPage::auto_startMouseUp() {
  tk::App().MessageBox(tk::MsgKind::Information, "Make sure you save changes.");
  w_.ShowProtectionLevel();
}

void MainPage::auto_skan_zywyMouseUp() {
  tk::App().MessageBox(tk::MsgKind::Information, "Save settings and restart program to apply changes.");
}

void MainPage::Button7Click() { w_.SaveConfiguration(); }

void MainPage::Button1Click() { w_.ShowPage(w_.skan); }

ScanPage::ScanPage(tk::PageBook& book, Tvelmain& w) : tk::Page(&book, "skan"), w_(w) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(skan_panel, 0, 0, width, kBookHeight, kScanBack, Verdana(kScanText));
  Title(skan_tytul, "Scanning", kScanTitleBack, Verdana(kScanTitleText, true));
  Place(Label4, 10, 28, width - 20, 56,
        "Proram will now search for illegitimate programs in your system. If it finds an unknown process it "
        "will ask you what to do. If you decide to remove a program it will be backed up in the trashcan.");
  Label4.SetWordWrap(true);
  Place(Label5, 10, 92, width - 20, 14, "Scanning options:");
  Place(skanuj_rejestr, 20, 110, width - 30, 17, "Scan registry");
  Place(skanuj_pamiec, 20, 130, width - 30, 17, "Scan memory (system)");
  Place(skanuj_usun_cicho, 20, 150, width - 30, 17, "Silently remove from memory");
  Place(skanuj_cicho, 20, 170, 120, 17, "Silent");
  skanuj_cicho.SetVisible(false);
  skanuj_cicho.SetEnabled(false);
  RightButtons(width, 180, {{&Button13, "Save"}});
  Place(Label7, 10, 222, width - 20, 14, "Progress:");
  Place(postep, 10, 240, width - 20, 18);
  RightButtons(width, 304, {{&Button11, "Scan now"}, {&Button12, "Cancel"}});
  Button12.SetEnabled(false);

  WriteBack(setting_boxes_, w_);
  Button13.OnClick = [this] { w_.SaveConfiguration(); };
  Button11.OnClick = [this] { w_.ScanNow(); };

  w_.Hover(skanuj_rejestr, "Perform a registry scan.");
  w_.Hover(skanuj_pamiec, "Perform a memory scan.");
  w_.Hover(skanuj_usun_cicho, "Do not interrupt me when stopping processes.");
  w_.Hover(postep, "Current progress.");
  w_.Hover(Button13, "Save configuration.");
  w_.Hover(Button11, "Perform a scan now!");
}

void ScanPage::Show(const registry::Settings& settings) { ShowSettings(setting_boxes_, settings); }

void ScanPage::Progress(int position, int max) {
  postep.SetMax(max);
  postep.SetPosition(position);
}

}  // namespace app
