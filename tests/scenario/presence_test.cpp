// The program in the notification area: the window hides itself after
// start-up, the tray icon and its menu bring it back, the hourly scan, the
// question when the machine-wide Run key changes, balloons, a second copy's
// call and the end of the Windows session.
#include <gmock/gmock.h>

#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using platform::RootKey;
using R = RegistryProgram::Reply;

class Presence : public RegistryProgram {
 protected:
  Presence() { SeedAutostartKeys(); }

  app::Tvelmain& StartWith(const std::string& glowna, const std::string& skan = "skanuj_rejestr=1") {
    Configure(glowna, skan);
    return StartAnswering();
  }
  // Another program writes under HKLM\...\Run; the watch reports it.
  void SomebodyAddsToRun(const std::string& name, tk::ModalResult answer) {
    backend.box_answerer = [answer](const tk::headless::BoxRecord& box) {
      return box.text == app::kChangeQuestion ? answer : tk::ModalResult::Ok;
    };
    sys.registry.Set(RootKey::LocalMachine, kRun, name, platform::RegValue{1, "C:\\" + name + ".exe"});
    ASSERT_TRUE(backend.WaitForSynchronize(5000)) << "the change was not reported";
    backend.RunUntilIdle();
  }
  std::vector<std::string> BalloonTexts() {
    std::vector<std::string> texts;
    for (const auto& b : sys.shell.Balloons()) texts.push_back(b.title + " " + b.text);
    return texts;
  }
};

TEST_F(Presence, TheRolledUpWindowHidesInTheTray1500msAfterStartUp) {
  app::Tvelmain& w = StartWith("");
  ASSERT_EQ(sys.shell.Icons().size(), 1u);
  EXPECT_EQ(sys.shell.Icons()[0].tip, "Veltrane - registry protection");
  EXPECT_EQ(sys.shell.Icons()[0].icon, "MAINICON");
  backend.Advance(1499);
  EXPECT_TRUE(w.Visible());
  backend.Advance(1);
  EXPECT_FALSE(w.Visible());
  EXPECT_EQ(sys.shell.Icons().size(), 1u);

  // A double click on the icon brings it back; "Close" hides it again.
  TrayMouse(kDblClk);
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(w.ClientHeight(), 101);
  backend.Click(Button("Button6"));
  backend.RunUntilIdle();
  EXPECT_FALSE(w.Visible());
  EXPECT_FALSE(app.Terminated());
}

TEST_F(Presence, AWindowRolledDownInTimeStaysAndComesBackAtItsHeight) {
  app::Tvelmain& w = StartWith("");
  backend.Click(Button("rolldownbtn"));
  backend.Advance(1500);
  EXPECT_TRUE(w.Visible()) << "rolling down";
  backend.Advance(60000);
  ASSERT_EQ(w.ClientHeight(), 500);
  EXPECT_TRUE(w.Visible()) << "the auto-hide ticks once";

  backend.MinimizeBox(w);
  backend.RunUntilIdle();
  EXPECT_FALSE(w.Visible());
  TrayMouse(kDblClk);
  EXPECT_TRUE(w.Visible());
  EXPECT_FALSE(w.Minimized());
  EXPECT_EQ(w.ClientHeight(), 500);
}

TEST_F(Presence, TheTrayMenuShowsPagesAndEndsTheProgramWithoutTheExitScan) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Unknown", platform::RegValue{1, "C:\\unknown.exe"});
  app::Tvelmain& w = StartWith("auto_skan_koncowy=1");
  backend.Advance(1500);
  ASSERT_FALSE(w.Visible());

  // The menu as a right click on the icon pops it up.
  std::vector<std::string> items;
  backend.popup_answerer = [&items](tk::PopupMenu& menu) {
    for (const tk::MenuItem& item : menu.Items())
      items.push_back(item.name + (item.is_default ? "*" : "") + (item.enabled ? "" : "-") + " " + item.caption +
                      (item.picture.empty() ? "" : " [" + item.picture + "]"));
    return std::string();
  };
  TrayMouse(kRButtonUp);
  EXPECT_THAT(items, ElementsAre("fgmfgh- Menu [TRAY_MENU]", "N1 -", "Showmainwindow1* Show main window [TRAY_SHOW]",
                                 "Scansystem1 Scan system [TRAY_SCAN]",
                                 "Showactiveprograms1 Show active programs [TRAY_PROGRAMS]", "N2 -",
                                 "Exitprogram1 Exit program [TRAY_EXIT]"));

  ChooseFromTrayMenu("Scansystem1");
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("skan"));
  w.Hide();
  List("list_pamiec").Clear();
  ChooseFromTrayMenu("Showactiveprograms1");
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("pamiec"));
  EXPECT_EQ(List("list_pamiec").Count(), 0) << "the process list is not refilled";
  EXPECT_EQ(Alerts(), 0) << "nothing was scanned";

  ChooseFromTrayMenu("Exitprogram1");
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(Alerts(), 0) << "no exit scan";
  EXPECT_TRUE(backend.Boxes().empty());
  velmain.reset();
  EXPECT_TRUE(sys.shell.Icons().empty());
}

TEST_F(Presence, AChangeOfTheRunKeyIsPutToTheUser) {
  app::Tvelmain& w = StartWith("");
  backend.Advance(1500);
  ASSERT_TRUE(w.protection().Watching());

  // Yes: the window, page skan, and a registry scan, whatever "Scan now"
  // covers; the person's ticks stay as they were.
  Tick("skanuj_pamiec", true);
  AnswerAlerts({R::Allow});
  SomebodyAddsToRun("Added", tk::ModalResult::Yes);
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
  EXPECT_EQ(backend.Boxes()[0].buttons, tk::MsgButtons::YesNo);
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("skan"));
  EXPECT_TRUE(Box("skanuj_pamiec").Checked());
  EXPECT_TRUE(velmain->protection().Settings().skanuj_pamiec);
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Added");
  EXPECT_EQ(WhiteSlot(0), "C:\\Added.exe");
  // Without the live test the scan leaves the monitor off.
  EXPECT_FALSE(w.protection().Watching());
}

// A scan that fails half-way leaves the watch as any scan does: running
// again with the live test on.
TEST_F(Presence, AScanThatFailsStillLeavesTheWatchRunning) {
  app::Tvelmain& w = StartWith("auto_skan_zywy=1");
  ASSERT_TRUE(w.protection().Watching());
  // The deleted value cannot be recorded for undo.
  sys.files.SetReadOnly(testing_support::kStatisticsPath);
  AnswerAlerts({R::Delete});
  SomebodyAddsToRun("Added", tk::ModalResult::Yes);
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(backend.Boxes().back().kind, tk::MsgKind::Error);
  EXPECT_TRUE(w.protection().Watching());
}

TEST_F(Presence, AnsweringNoHidesTheWindowAndLeavesTheMonitorOff) {
  app::Tvelmain& w = StartWith("");
  ASSERT_TRUE(w.Visible());
  SomebodyAddsToRun("Added", tk::ModalResult::No);
  EXPECT_FALSE(w.Visible());
  EXPECT_THAT(BalloonTexts(), ElementsAre("Veltrane: Registry was modified!"));
  EXPECT_EQ(Alerts(), 0);
  EXPECT_FALSE(w.protection().Watching());
  // A later scan of one key shows the balloon with the same words.
  AnswerAlerts({R::Allow});
  ExitScan();
  EXPECT_THAT(BalloonTexts(), ElementsAre("Veltrane: Registry was modified!", "Veltrane: Registry was modified!"));
}

TEST_F(Presence, ScanNowShowsOneBalloonTextAfterAnother) {
  StartWith("", "skanuj_rejestr=1\r\nskanuj_pamiec=1");
  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("skan"));
  ASSERT_TRUE(backend.Click(Button("Button11")));
  backend.RunUntilIdle();
  EXPECT_THAT(BalloonTexts(), ElementsAre("Veltrane: Scanning done.", "Veltrane: Scanning done.",
                                          "Veltrane: Scanning done.", "Veltrane: Scanning done.",
                                          "Veltrane: Full registry scan complete",
                                          "Veltrane: Memory scanning done."));
}

TEST_F(Presence, TheHourlyScanRunsScanNowWithTheOptionsOfTheMoment) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Unknown", platform::RegValue{1, "C:\\unknown.exe"});
  app::Tvelmain& w = StartWith("auto_skan_co_godzine=1\r\nauto_skan_zywy=1", "");
  backend.Advance(1500);
  w.protection().Stop();
  backend.Advance(3600000 - 1500);
  EXPECT_EQ(Alerts(), 0) << "both scan options off: no scan";
  EXPECT_TRUE(w.protection().Watching()) << "but the live test restarts the monitor";
  EXPECT_FALSE(w.Visible());

  Tick("skanuj_rejestr", true);
  AnswerAlerts({R::Allow});
  backend.Advance(3600000);
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Unknown");
  EXPECT_FALSE(w.Visible()) << "the alert comes by itself";
}

TEST_F(Presence, TheDoctorsOwnRepairsRaiseNoQuestion) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Quoted", platform::RegValue{1, "\"C:\\quoted.exe\""});
  app::Tvelmain& w = StartWith("");
  EXPECT_EQ(Value(RootKey::LocalMachine, kRun, "Quoted")->data, "C:\\quoted.exe");
  EXPECT_FALSE(backend.WaitForSynchronize(300));
  EXPECT_TRUE(backend.Boxes().empty());
  EXPECT_TRUE(w.protection().Watching()) << "watching again after the doctor";
}

TEST_F(Presence, ASecondCopyBringsTheWindowOutOfTheTray) {
  app::Tvelmain& w = StartWith("");
  backend.Advance(1500);
  ASSERT_FALSE(w.Visible());
  // Also a copy started without the running one's elevation reaches it.
  backend.PostNamedMessage("Veltrane.OneInstance.Activate", tk::Rights::Fewer);
  backend.RunUntilIdle();
  EXPECT_TRUE(w.Visible());

  // The second copy itself, which finds the first one's window: told,
  // ending, with no icon, no files and no scan.
  sys.system.AddWindow({"TApplication", "Veltrane", false, {}, kExePath,
                        [this](const std::string& m) { return backend.SendNamedMessage(m, tk::Rights::Fewer); }});
  size_t icons = sys.shell.Icons().size();
  app::Tvelmain second(sys.View());
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Don't run this program more than once!"));
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(second.protection().Watching());
  EXPECT_EQ(sys.shell.Icons().size(), icons);
  EXPECT_FALSE(second.protection().DataFilesOpen());
}

// Only a program with the program's own rights, as the uninstaller has,
// may end it by message.
TEST_F(Presence, TheExitMessageEndsTheProgramOnlyFromAProgramWithItsRights) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Unknown", platform::RegValue{1, "C:\\unknown.exe"});
  app::Tvelmain& w = StartWith("auto_skan_koncowy=1");
  backend.PostNamedMessage("Veltrane.ExitProgram", tk::Rights::Fewer);
  backend.RunUntilIdle();
  EXPECT_FALSE(app.Terminated());
  EXPECT_TRUE(w.protection().Watching());

  backend.PostNamedMessage("Veltrane.ExitProgram");
  backend.RunUntilIdle();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(Alerts(), 0) << "no exit scan";
  EXPECT_TRUE(backend.Boxes().empty());
}

TEST_F(Presence, TheEndOfTheSessionLeavesNothingBehindAndAsksNothing) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Unknown", platform::RegValue{1, "C:\\unknown.exe"});
  app::Tvelmain& w = StartWith("auto_skan_koncowy=1");
  ASSERT_TRUE(w.protection().Watching());
  backend.EndSession();
  backend.RunUntilIdle();
  EXPECT_TRUE(app.Terminated());
  EXPECT_TRUE(sys.shell.Icons().empty());
  EXPECT_FALSE(w.protection().Watching());
  EXPECT_EQ(Alerts(), 0);
  EXPECT_TRUE(backend.Boxes().empty());
}

}  // namespace
}  // namespace scenario
