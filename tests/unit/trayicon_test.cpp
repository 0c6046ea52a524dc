// The tray icon against a recording shell: what the notification area
// shows, and how the icon's mouse messages reach the program.
#include <gtest/gtest.h>

#include "components/zel_trayicon.h"
#include "tests/doubles/portable/portable.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using components::TzelTrayIcon;
using platform::NotifyIconOp;

constexpr uintptr_t kDblClk = 0x203, kRButtonUp = 0x205, kLButtonUp = 0x202;

class TrayIcon : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortablePlatform sys{scratch.path()};
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  tk::Form form{"main", "TMain"};
  tk::PopupMenu menu{"popup"};
  std::unique_ptr<TzelTrayIcon> tray;
  std::vector<std::string> ran;

  void Make() {
    app.SetMainForm(&form);
    form.Show();
    menu.Add("Title", "Menu", nullptr).enabled = false;
    menu.Add("Show", "Show main window", [this] { ran.push_back("Show"); }).is_default = true;
    menu.Add("Exit", "Exit program", [this] { ran.push_back("Exit"); });
    tray = std::make_unique<TzelTrayIcon>(sys.View(), form, "TestTrayIcon");
    tray->Name = "tray";
    tray->SetHint("Test hint");
    tray->SetIcon("MAINICON");
    tray->SetMinimizeToTray(true);
    tray->SetPopupMenu(&menu);
    tray->SetVisible(true);
    tray->Loaded();
    if (!Icons().empty()) window = Icons()[0].window;
  }
  intptr_t Mouse(uintptr_t message) {
    intptr_t result = -1;
    backend.Send(window, TzelTrayIcon::kCallbackMessage, 0, intptr_t(message), result);
    backend.RunUntilIdle();
    return result;
  }
  std::vector<platform::NotifyIconData> Icons() { return sys.shell.Icons(); }
  // The icon's window, as the shell was given it.
  uintptr_t window = 0;
};

TEST_F(TrayIcon, IsInTheNotificationAreaFromLoadingUntilItGoes) {
  Make();
  ASSERT_EQ(Icons().size(), 1u);
  const platform::NotifyIconData icon = Icons()[0];
  EXPECT_NE(icon.window, 0u);
  EXPECT_EQ(icon.callback_message, 0x400u + 211);
  EXPECT_EQ(icon.icon, "MAINICON");
  EXPECT_EQ(icon.tip, "Test hint");
  EXPECT_EQ(icon.flags, platform::kNifMessage | platform::kNifTip | platform::kNifIcon);
  // Setting Visible to what it is sends nothing.
  sys.shell.ClearNotifyCalls();
  tray->SetVisible(true);
  EXPECT_TRUE(sys.shell.NotifyCalls().empty());
  tray.reset();
  EXPECT_TRUE(Icons().empty());
  EXPECT_TRUE(form.Visible()) << "the window is left as it was";
}

TEST_F(TrayIcon, TextsAreCutToTheShellsFieldsInWideCharacters) {
  Make();
  tray->SetHint(std::string(70, 'h'));
  EXPECT_EQ(Icons()[0].tip, std::string(63, 'h'));
  tray->SetInfoText(std::string(300, 'i'));
  tray->SetInfoTitle(std::string(80, 't'));
  tray->ShowBalloon();
  ASSERT_EQ(sys.shell.Balloons().size(), 1u);
  EXPECT_EQ(sys.shell.Balloons()[0].text, std::string(255, 'i'));
  EXPECT_EQ(sys.shell.Balloons()[0].title, std::string(63, 't'));
}

TEST_F(TrayIcon, ABalloonIsShownOnce) {
  Make();
  tray->SetInfoTitle("Veltrane:");
  tray->SetInfoText("Scanning done.");
  tray->ShowBalloon();
  ASSERT_EQ(sys.shell.Balloons().size(), 1u);
  EXPECT_EQ(sys.shell.Balloons()[0].title, "Veltrane:");
  EXPECT_EQ(sys.shell.Balloons()[0].text, "Scanning done.");
  EXPECT_EQ(sys.shell.Balloons()[0].info_flags, 0u);
  EXPECT_EQ(sys.shell.Balloons()[0].timeout_ms, 10000u);
  // The next change of the icon sends the normal flags: no second balloon.
  tray->SetHint("Another hint");
  EXPECT_EQ(sys.shell.Balloons().size(), 1u);
  EXPECT_EQ(sys.shell.NotifyCalls().back().data.flags, platform::kNifMessage | platform::kNifTip | platform::kNifIcon);
  EXPECT_EQ(Icons()[0].tip, "Another hint");
}

TEST_F(TrayIcon, MinimisingHidesTheWindowAndDoubleClickRunsTheDefaultItem) {
  Make();
  backend.MinimizeBox(form);
  backend.RunUntilIdle();
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(Icons().size(), 1u);
  // The default item runs, whatever the window's state.
  Mouse(kDblClk);
  EXPECT_EQ(ran, std::vector<std::string>{"Show"});
  EXPECT_FALSE(form.Visible());
}

TEST_F(TrayIcon, RightButtonReleasePopsTheMenuUpOwnedByTheIconsWindow) {
  Make();
  backend.popup_answerer = [](tk::PopupMenu& m) { return std::string("Title"); };  // disabled: runs nothing
  Mouse(kRButtonUp);
  backend.popup_answerer = [](tk::PopupMenu& m) { return std::string("Exit"); };
  Mouse(kRButtonUp);
  EXPECT_EQ(backend.Popups(), (std::vector<std::string>{"popup", "popup"}));
  EXPECT_EQ(backend.LastPopupOwner(), window);
  EXPECT_EQ(ran, std::vector<std::string>{"Exit"});
  // A left click pops nothing up.
  Mouse(kLButtonUp);
  EXPECT_EQ(backend.Popups().size(), 2u);
}

TEST_F(TrayIcon, ComesBackWhenTheTaskBarIsCreatedAgain) {
  Make();
  form.Hide();
  sys.shell.RestartShell();
  intptr_t result = -1;
  backend.Send(window, backend.RegisterMessage("TaskbarCreated"), 0, 0, result);
  ASSERT_EQ(Icons().size(), 1u);
  EXPECT_EQ(Icons()[0].tip, "Test hint");
  EXPECT_FALSE(form.Visible()) << "the window stays in the tray";
  // Logging off may go ahead.
  backend.Send(window, 0x0011 /* WM_QUERYENDSESSION */, 0, 0, result);
  EXPECT_EQ(result, 1);
}

TEST_F(TrayIcon, WithoutItsIconTheWindowIsShown) {
  Make();
  form.Hide();
  tray->SetVisible(false);
  EXPECT_TRUE(Icons().empty());
  EXPECT_TRUE(form.Visible());
}

}  // namespace
