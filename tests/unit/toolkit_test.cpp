// The form model and its loop, driven through the headless backend.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include "toolkit/application.h"
#include "toolkit/error.h"
#include "tests/doubles/headless/headless_backend.h"

using namespace tk;
using tk::headless::HeadlessBackend;

namespace {

class TestForm : public Form {
 public:
  TestForm() : Form("TestForm", "TTestForm") {
    SetCaption("Test");
    SetClientSize(300, 200);
    ok.SetCaption("OK");
    ok.OnClick = [this] { clicks++; };
    fail.OnClick = [] { throw Error("Unable to write to C:\\Windows\\x.vlt"); };
    tick.SetOnTimer([this] { ticks++; });
    page2.SetCaption("two");
  }
  Button ok{this, "ok"};
  Button fail{this, "fail"};
  CheckBox box{this, "box"};
  ListBox list{this, "list"};
  PageBook book{this, "book"};
  Page page1{&book, "page1"};
  Page page2{&book, "page2"};
  Button on_page2{&page2, "on_page2"};
  Timer tick{"tick", 100};
  int clicks = 0;
  int ticks = 0;
};

class Dialog : public Form {
 public:
  Dialog() : Form("Dialog", "TDialog") {
    yes.OnClick = [this] { SetModalResult(ModalResult::Yes); };
    OnShow = [this] { events.push_back("show"); };
    OnActivate = [this] { activations++; events.push_back("activate"); };
  }
  Button yes{this, "yes"};
  int activations = 0;
  std::vector<std::string> events;
};

struct Fixture : ::testing::Test {
  HeadlessBackend backend;
  Application app{backend};
  TestForm form;
  void SetUp() override {
    app.SetTitle("Veltrane");
    app.SetMainForm(&form);
    form.Show();
  }
};

}  // namespace

TEST_F(Fixture, ClicksRunHandlersOnlyOnEnabledShowingControls) {
  ASSERT_TRUE(backend.Click(form.ok));
  backend.RunUntilIdle();
  EXPECT_EQ(form.clicks, 1);

  form.ok.SetEnabled(false);
  EXPECT_FALSE(backend.Click(form.ok));
  // A control on a page that is not shown cannot be clicked either.
  EXPECT_FALSE(backend.Click(form.on_page2));
  form.book.ShowPage(form.page2);
  EXPECT_TRUE(form.page2.Visible());
  EXPECT_FALSE(form.page1.Visible());
  EXPECT_TRUE(backend.Click(form.on_page2));
}

TEST_F(Fixture, UnhandledErrorIsShownCaptionedWithTitleAndProgramRunsOn) {
  backend.Click(form.fail);
  backend.Click(form.ok);
  backend.RunUntilIdle();
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, MsgKind::Error);
  EXPECT_EQ(backend.Boxes()[0].caption, "Veltrane");
  EXPECT_EQ(backend.Boxes()[0].text, "Unable to write to C:\\Windows\\x.vlt");
  EXPECT_EQ(form.clicks, 1);
  EXPECT_FALSE(app.Terminated());
}

TEST_F(Fixture, CheckBoxTogglesBeforeItsHandlersCodeRunsNoneAndSpaceIsNoMouseUp) {
  std::vector<std::string> seen;
  form.box.OnClick = [&] { seen.push_back(form.box.Checked() ? "click:on" : "click:off"); };
  form.box.OnMouseUp = [&](MouseButton, int, int) { seen.push_back("up"); };
  form.box.SetChecked(true);
  EXPECT_TRUE(seen.empty());
  backend.Click(form.box);
  backend.RunUntilIdle();
  EXPECT_FALSE(form.box.Checked());
  EXPECT_EQ(seen, (std::vector<std::string>{"click:off", "up"}));

  // The space bar toggles and clicks, but no mouse button was released.
  seen.clear();
  ASSERT_TRUE(backend.PressSpace(form.box));
  backend.RunUntilIdle();
  EXPECT_TRUE(form.box.Checked());
  EXPECT_EQ(seen, (std::vector<std::string>{"click:on"}));
  form.box.SetEnabled(false);
  EXPECT_FALSE(backend.PressSpace(form.box));
}

TEST_F(Fixture, ListSelectionAndClearing) {
  form.list.AddItem("a");
  form.list.AddItem("a");
  form.list.AddItem("b");
  EXPECT_FALSE(backend.Select(form.list, 3));
  backend.Select(form.list, 2);
  backend.RunUntilIdle();
  EXPECT_EQ(form.list.SelectedText(), "b");
  form.list.Clear();
  EXPECT_EQ(form.list.ItemIndex(), -1);
  EXPECT_EQ(form.list.SelectedText(), "");
}

TEST_F(Fixture, IdleIsRaisedWhenTheQueueRunsEmpty) {
  int idles = 0;
  app.OnIdle = [&](bool&) { idles++; };
  backend.Click(form.ok);
  backend.Click(form.ok);
  backend.RunUntilIdle();
  EXPECT_EQ(form.clicks, 2);
  EXPECT_EQ(idles, 1);
}

TEST_F(Fixture, TimersTickOnTheVirtualClockOnlyWhileEnabled) {
  backend.Advance(1000);
  EXPECT_EQ(form.ticks, 0);
  form.tick.SetEnabled(true);
  backend.Advance(350);
  EXPECT_EQ(form.ticks, 3);
  // Stopping from inside its own tick holds.
  form.tick.SetOnTimer([&] { form.ticks++; form.tick.SetEnabled(false); });
  backend.Advance(1000);
  EXPECT_EQ(form.ticks, 4);
  EXPECT_EQ(backend.NextTick(form.tick), -1);
}

TEST_F(Fixture, ModalFormsRunNestedLoopsAndIdleInsideThem) {
  int idles = 0;
  app.OnIdle = [&](bool&) { idles++; };
  Dialog dialog;
  backend.modal_answerer = [&](Form& f) { return backend.Click(dialog.yes); };
  ModalResult result = ModalResult::None;
  form.ok.OnClick = [&] { result = dialog.ShowModal(); };
  backend.Click(form.ok);
  backend.RunUntilIdle();
  EXPECT_EQ(result, ModalResult::Yes);
  EXPECT_EQ(dialog.events, (std::vector<std::string>{"show", "activate"}));
  EXPECT_FALSE(dialog.Visible());
  EXPECT_GE(idles, 2);  // at least one inside the modal loop, one after
  EXPECT_EQ(backend.ModalForms(), std::vector<std::string>{"Dialog"});
}

TEST_F(Fixture, UnansweredModalClosesAsCancelAfterItsTimers) {
  Dialog dialog;
  Timer closer{"closer", 2000};
  closer.SetOnTimer([&] { dialog.Close(); });
  closer.SetEnabled(true);
  EXPECT_EQ(dialog.ShowModal(), ModalResult::Cancel);
  EXPECT_EQ(backend.Now(), 2000);
  EXPECT_EQ(backend.UnansweredModals(), 0);
  closer.SetEnabled(false);
  EXPECT_EQ(dialog.ShowModal(), ModalResult::Cancel);
  EXPECT_EQ(backend.UnansweredModals(), 1);
}

TEST_F(Fixture, MessageBoxesAreAnsweredInOrderAndRecorded) {
  backend.AnswerBoxes({ModalResult::Cancel});
  EXPECT_EQ(app.MessageBox(MsgKind::Confirmation, "Sure?", MsgButtons::OkCancel), ModalResult::Cancel);
  EXPECT_EQ(app.MessageBox(MsgKind::Warning, "Hm", MsgButtons::YesNo), ModalResult::Yes);
  app.ShowMessage("Configuration saved.");
  ASSERT_EQ(backend.Boxes().size(), 3u);
  EXPECT_EQ(backend.Boxes()[0].caption, "Confirm");
  EXPECT_EQ(backend.Boxes()[2].kind, MsgKind::Plain);
  EXPECT_EQ(backend.Boxes()[2].caption, "Veltrane");
}

TEST(ControlModel, ProgressClampsAndChildrenOutlivingParentsDoNotDangle) {
  ProgressBar bar(nullptr, "bar");
  bar.SetMax(4);
  bar.SetPosition(9);
  EXPECT_EQ(bar.Position(), 4);
  bar.SetMax(2);
  EXPECT_EQ(bar.Position(), 2);
  auto parent = std::make_unique<Panel>(nullptr, "p");
  Label child(parent.get(), "c");
  EXPECT_EQ(parent->FindChild("c"), &child);
  parent.reset();
  EXPECT_EQ(child.Parent(), nullptr);
}
