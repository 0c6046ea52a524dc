// The main window as the user sees it move: hover help, navigation between
// pages, the roll animation and the "Help" button.
#include <string>
#include <vector>
#include "tests/scenario/program.h"

namespace scenario {
namespace {

constexpr const char* kDefaultHelp =
    "Veltrane can be used as protection against not needed programs which run in background or install "
    "themselves in your registry autorun section. With this program you can easily turn these off, disable "
    "them or remove them permanently. There is also a trashcan available, just in case you remove something "
    "useful. If you need more help, click on the button \"Help\" below.";
constexpr const char* kAutoStartHelp =
    "Use this to run Veltrane when system starts up. This is highly recommended.";

class View : public Program {
 protected:
  app::Tvelmain* w = nullptr;

  void SetUp() override { w = &Start(); }

  void Click(tk::Control& c) {
    ASSERT_TRUE(backend.Click(c)) << c.Name();
    backend.RunUntilIdle();
  }
  void Hover(tk::Control& c) {
    ASSERT_TRUE(backend.MouseMove(c)) << c.Name();
    backend.RunUntilIdle();
  }
  // Client heights after each tick of a running roll timer, until it stops.
  std::vector<int> Ticks(tk::Timer& timer, int at_most = 100) {
    std::vector<int> heights;
    for (int64_t next; (next = backend.NextTick(timer)) >= 0 && at_most-- > 0;) {
      backend.Advance(next - backend.Now());
      heights.push_back(w->ClientHeight());
    }
    return heights;
  }
  std::string Help() { return Find<tk::Label>("pomoc").Caption(); }
  static std::vector<int> Steps(int from, int to, int step) {
    std::vector<int> v;
    for (int h = from; step > 0 ? h <= to : h >= to; h += step) v.push_back(h);
    return v;
  }
};

TEST_F(Program, WindowComesUpRolledUpOnTheMainPageWithItsTextsAtCreation) {
  velmain = std::make_unique<app::Tvelmain>(sys.View());
  app::Tvelmain& w = *velmain;
  EXPECT_EQ(w.Caption(), "Veltrane");
  EXPECT_EQ(w.ClientWidth(), 524);
  EXPECT_EQ(w.ClientHeight(), 101);
  EXPECT_EQ(w.Border(), tk::BorderStyle::Single);
  EXPECT_EQ(w.BorderIcons(), tk::kSystemMenu | tk::kMinimize);
  EXPECT_EQ(w.Position(), tk::FormPosition::ScreenCenter);
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("glowna"));
  EXPECT_EQ(Find<tk::Label>("wersja").Caption(), "Loading...");
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "  Loading program... please be patient...");
  EXPECT_EQ(Find<tk::Label>("pomoc").Caption(), kDefaultHelp);
  EXPECT_FALSE(Box("skanuj_cicho").Visible());
  EXPECT_FALSE(Box("skanuj_cicho").Enabled());
  EXPECT_FALSE(Button("Button12").Enabled());
  EXPECT_FALSE(Button("downloadbtn").Enabled());
  for (tk::Label* value : {&Find<tk::Label>("updwersja"), &Find<tk::Label>("updrozmiar"), &Find<tk::Label>("updrelease")}) EXPECT_EQ(value->Caption(), "n/a");
  // Everything below the roll button is cut off until the window grows.
  for (tk::Control* below : {&Find("silnik"), &Find("pomoc_panel"), &Find("Button3"), &Find("Label6")})
    EXPECT_GE(below->Top(), 100) << below->Name();
  // Settings start off: the configuration decides.
  for (tk::CheckBox* box : {&Box("auto_start"), &Box("auto_skan_rejestru"), &Box("auto_skan_pamieci"), &Box("auto_skan_koncowy"),
                            &Box("auto_skan_zywy"), &Box("auto_skan_co_godzine"), &Box("skanuj_rejestr"), &Box("skanuj_pamiec"),
                            &Box("skanuj_cicho"), &Box("skanuj_usun_cicho")})
    EXPECT_FALSE(box->Checked()) << box->Name();
  // Started, it shows itself as it was made.
  Start();
  EXPECT_TRUE(velmain->Visible());
  EXPECT_EQ(velmain->ClientHeight(), 101);
}

TEST_F(View, HoverHelpFollowsTheMouseAndOnlyTheListedControlsChangeIt) {
  struct Step {
    tk::Control* over;
    std::string help;  // pomoc afterwards
  };
  const std::string status_help =
      "This shows you the current level of system protection. If you change settings in the main panel, this "
      "will show you how important these changes are.";
  const Step steps[] = {
      {&Box("auto_start"), kAutoStartHelp},
      {&Find("haslo"), kAutoStartHelp},  // the tagline has no help of its own
      {w, kDefaultHelp},                 // the window's background restores it
      {&Find<components::TProPanel>("status"), status_help},
      {&Box("auto_skan_co_godzine"), status_help},
      {&Button("Button8"), status_help},
      {&Find("glowna_gora_tytul"), status_help},
      {&Find<tk::Label>("wersja"), status_help},
      {&Button("rolldownbtn"), "Click on this button to roll the main window up/ down."},
      {&Find("naglowek"), kDefaultHelp},
      {&Button("Button6"), "Closes this screen."},
      {&Find("glowna_gora"), kDefaultHelp},
      {&Button("Button1"), "Move to the scan page."},
      {&Find("glowna_dol"), kDefaultHelp},
      {&Button("Button2"), "Opens readme file."},
      {&Find<tk::Label>("pomoc"), "Opens readme file."},
      {&Find("pomoc_panel"), kDefaultHelp},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.over->Name());
    Hover(*s.over);
    EXPECT_EQ(Help(), s.help);
  }
}

TEST_F(View, HoverHelpOnOtherPagesLeavesTheirPanelsSilent) {
  w->ShowPage(Find<tk::Page>("pamiec"));
  Hover(Find<tk::Label>("Label3"));
  const std::string warning =
      "Beware everything on this page!!! Remember, that you are using this program at your risk.";
  EXPECT_EQ(Help(), warning);
  Hover(Find("pamiec_panel"));
  Hover(Find<tk::Page>("pamiec"));
  EXPECT_EQ(Help(), warning);

  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("skan"));
  Hover(Button("Button12"));  // "Cancel"
  Hover(Find("skan_tytul"));
  EXPECT_EQ(Help(), warning);

  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("update"));
  for (tk::Control* c : {&Find("Button24"), &Find("sciaganie"), &Find("update_panel")})
    Hover(*c);
  EXPECT_EQ(Help(), warning);

  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("listy"));
  Hover(List("list_zabronionych"));
  EXPECT_EQ(Help(), "Shows all the programs that waste your system resources.");
}

TEST_F(View, NavigationButtonsShowTheirPages) {
  struct Step {
    tk::Button* button;
    tk::Page* page;
  };
  const Step steps[] = {
      {&Button("Button4"), &Find<tk::Page>("skan")},  {&Button("Button16"), &Find<tk::Page>("pamiec")}, {&Button("Button5"), &Find<tk::Page>("smietnik")}, {&Button("Button17"), &Find<tk::Page>("listy")},
      {&Button("Button8"), &Find<tk::Page>("update")}, {&Button("Button3"), &Find<tk::Page>("glowna")}, {&Button("Button1"), &Find<tk::Page>("skan")},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.button->Name());
    Click(*s.button);
    EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), s.page);
    for (tk::Page* p : Find<tk::PageBook>("silnik").Pages()) EXPECT_EQ(p->Visible(), p == s.page) << p->Name();
  }
}

TEST_F(View, ScanNowOnTheMainPageOnlyChangesThePage) {
  sys.registry.Set(platform::RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Unknown",
                   platform::RegValue{uint32_t(platform::ValueType::Sz), "C:\\unknown\\unknown.exe"});
  const auto modals = backend.ModalForms().size();
  const auto boxes = backend.Boxes().size();
  const std::string status = Find<components::TProPanel>("status").Caption();
  Click(Button("Button1"));
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("skan"));
  EXPECT_EQ(backend.ModalForms().size(), modals);
  EXPECT_EQ(backend.Boxes().size(), boxes);
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), status);
  EXPECT_EQ(Find<tk::ProgressBar>("postep").Position(), 0);
}

TEST_F(View, CloseHidesTheWindowAndTheProgramRunsOn) {
  Click(Button("Button6"));
  EXPECT_FALSE(w->Visible());
  EXPECT_FALSE(app.Terminated());
}

// The system's Notepad shows the help file, never a viewer the person's
// file associations (which their programs can change) would pick.
TEST_F(View, HelpShowsTheHelpFileInTheSystemsNotepadAndSaysNothingWhenItCannot) {
  backend.ClearBoxes();
  sys.processes.SetWindowsFolder("D:\\WINNT");
  Click(Button("Button2"));
  using Started = platform::portable::PortableShell::Started;
  const std::vector<Started> notepad{
      {"D:\\WINNT\\System32\\notepad.exe", "\"d:\\WINNT\\Veltrane.txt\"", "D:\\WINNT"}};
  EXPECT_EQ(sys.shell.StartedPrograms(), notepad);
  sys.shell.SetFails(true);
  Click(Button("Button2"));
  EXPECT_TRUE(backend.Boxes().empty());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(View, RollingDownGrowsToExactly500AtRow90AndRollingUpShrinksTo101InPlace) {
  w->SetScreenPos(250, 333);
  Click(Button("rolldownbtn"));
  std::vector<int> down = Steps(126, 501, 25);
  down.push_back(500);
  EXPECT_EQ(Ticks(w->rolldown), down);  // 17 ticks
  EXPECT_EQ(w->ClientHeight(), 500);
  EXPECT_EQ(w->ScreenTop(), 90);
  EXPECT_EQ(w->ScreenLeft(), 250);
  EXPECT_EQ(w->ClientWidth(), 524);

  // Wherever the user has put it, rolling up leaves it there.
  w->SetScreenPos(250, 300);
  Click(Button("rolldownbtn"));
  std::vector<int> up = Steps(490, 100, -10);
  up.push_back(101);
  EXPECT_EQ(Ticks(w->rollup), up);  // 41 ticks
  EXPECT_EQ(w->ClientHeight(), 101);
  EXPECT_EQ(w->ScreenTop(), 300);
  EXPECT_EQ(w->ClientWidth(), 524);
  EXPECT_EQ(Button("rolldownbtn").Caption(), "Click here to roll down the menu");
}

TEST_F(View, ClickDuringRollDownReversesAtOnce) {
  Click(Button("rolldownbtn"));
  EXPECT_EQ(Ticks(w->rolldown, 2), (std::vector<int>{126, 151}));
  Click(Button("rolldownbtn"));
  ASSERT_GE(backend.NextTick(w->rollup), 0);
  // The first tick of rolling up stops rolling down.
  EXPECT_EQ(Ticks(w->rollup, 1), std::vector<int>{141});
  EXPECT_EQ(backend.NextTick(w->rolldown), -1);
  EXPECT_EQ(Ticks(w->rollup), (std::vector<int>{131, 121, 111, 101, 101}));
  EXPECT_EQ(backend.NextTick(w->rollup), -1);
}

}  // namespace
}  // namespace scenario
