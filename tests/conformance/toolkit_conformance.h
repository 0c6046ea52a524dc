// What the toolkit promises the program, whichever backend runs it. The
// program's behaviour is mostly tested on the headless backend, so every
// promise here is checked against both: headless on the host, Windows under
// Wine. A backend joins by giving a Driver (the user and the window system as
// a test drives them) and instantiating the suite with it.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/modal_result_name.h"
#include "toolkit/application.h"
#include "toolkit/error.h"
#include "toolkit/form.h"

namespace conformance {

struct BoxSeen {
  std::string caption;
  std::string text;
};

// The interface each backend's driver offers (not virtual: the suite is a
// template over the driver type).
//
//   tk::Backend& Backend();
//   // Later, from the loop: the user clicks the control, or an item of the
//   // list; nothing happens when it is disabled or not showing by then.
//   void Click(tk::Control&);
//   void Select(tk::ListBox&, int index);
//   // Later, from the loop: the user presses the form's close box.
//   void CloseBox(tk::Form&);
//   // Moves the pointer onto the control at (x, y) of it and returns once
//   // the window system has delivered the move.
//   void MoveMouse(tk::Control&, int x, int y);
//   // The window system will not activate the form when it is shown.
//   void RefuseActivation(tk::Form&);
//   // Later, from the loop: the user switches to another program and back.
//   void SwitchAwayAndBack(tk::Form&);
//   // The next message box is answered from outside; it is recorded.
//   void AnswerNextBox(tk::ModalResult);
//   std::vector<BoxSeen> Boxes();
//   // Runs fn on a worker thread; JoinWorkers waits for them all without
//   // running the loop.
//   void StartWorker(std::function<void()>);
//   void JoinWorkers();
//   // Runs the loop until done() holds; false when it never did.
//   bool RunUntil(const std::function<bool()>& done);
//   // Ends what the driver started; called before the forms go.
//   void Finish();

class Dialog : public tk::Form {
 public:
  Dialog(const std::string& name = "dialog") : tk::Form(name, "Tconformancedialog") {
    SetFixedDialog("Conformance dialog", 240, 120);
    yes.SetBounds(10, 80, 80, 25);
    yes.SetCaption("Yes");
    yes.OnClick = [this] { SetModalResult(tk::ModalResult::Yes); };
    other.SetBounds(100, 80, 80, 25);
    other.SetCaption("Other");
    row.SetBounds(10, 10, 200, 16);
    row.SetCaption("loading...");
  }
  tk::Button yes{this, "yes"};
  tk::Button other{this, "other"};
  tk::Label row{this, "row"};
};

class Window : public tk::Form {
 public:
  Window() : tk::Form("window", "Tconformancewindow") {
    SetCaption("Conformance");
    SetBorder(tk::BorderStyle::Single);
    SetBorderIcons(tk::kSystemMenu | tk::kMinimize);
    SetClientSize(400, 200);
    SetScreenPos(60, 60);
    panel.SetBounds(0, 0, 400, 200);
    panel.SetColor(tk::Rgb(0xD5, 0xF7, 0xCC));
    plain.SetBounds(20, 20, 160, 20);
    plain.SetCaption("no help here");
    helped.SetBounds(20, 60, 160, 20);
    helped.SetCaption("help here");
    button.SetBounds(20, 100, 100, 25);
    button.SetCaption("Button");
    box.SetBounds(200, 20, 150, 20);
    box.SetCaption("Live registry test");
    list.SetBounds(200, 60, 150, 60);
  }
  tk::Panel panel{this, "panel"};
  tk::Label plain{&panel, "plain"};
  tk::Label helped{&panel, "helped"};
  tk::Button button{&panel, "button"};
  tk::CheckBox box{&panel, "box"};
  tk::ListBox list{&panel, "list"};
};

template <class D>
class ToolkitConformance : public ::testing::Test {
 protected:
  D driver;
  tk::Application app{driver.Backend()};
  Window window;

  ToolkitConformance() {
    app.SetTitle("Veltrane Conformance");
    app.SetMainForm(&window);
    window.Show();
  }
  ~ToolkitConformance() override { driver.Finish(); }
};

TYPED_TEST_SUITE_P(ToolkitConformance);

// Hover help: the control under the pointer hears of the move, and only it.
// A label without handlers keeps the move to itself, so the panel it lies
// on does not put its own (default) help back.
TYPED_TEST_P(ToolkitConformance, AMoveReachesOnlyTheControlUnderThePointer) {
  auto& w = this->window;
  std::vector<std::string> heard;
  auto note = [&heard](const char* who) {
    return [&heard, who](int, int) {
      if (heard.empty() || heard.back() != who) heard.push_back(who);
    };
  };
  w.panel.OnMouseMove = note("panel");
  w.helped.OnMouseMove = note("helped");
  w.button.OnMouseMove = note("button");
  struct Step {
    tk::Control* over;
    int x, y;
  } steps[] = {{&w.helped, 10, 8}, {&w.plain, 10, 8}, {&w.button, 30, 12},
               {&w.plain, 60, 10}, {&w.panel, 300, 150}, {&w.helped, 40, 8}};
  for (const Step& s : steps) this->driver.MoveMouse(*s.over, s.x, s.y);
  EXPECT_EQ(heard, (std::vector<std::string>{"helped", "button", "panel", "helped"}));
}

// A tick of a timer whose handler still runs (here: it shows a form) is
// dropped, while other timers tick on; once the handler is done it ticks again.
TYPED_TEST_P(ToolkitConformance, ATickDuringItsOwnHandlerIsDroppedOtherTimersTickOn) {
  Dialog dialog;
  int entries = 0, other_ticks = 0;
  std::vector<int> entries_seen;
  tk::Timer closer("closer", 10);
  closer.SetOnTimer([&] {
    entries_seen.push_back(entries);
    if (++other_ticks == 5) {
      closer.SetEnabled(false);
      dialog.Close();
    }
  });
  tk::Timer slow("slow", 5);
  slow.SetOnTimer([&] {
    if (++entries == 1) {
      closer.SetEnabled(true);
      dialog.ShowModal();
    }
  });
  slow.SetEnabled(true);
  ASSERT_TRUE(this->driver.RunUntil([&] { return entries >= 2; }));
  slow.SetEnabled(false);
  EXPECT_EQ(entries_seen, (std::vector<int>{1, 1, 1, 1, 1}));
  EXPECT_FALSE(dialog.Visible());
}

// A modal loop ends with the result its button sets; OnShow comes before
// the activation, which runs exactly once as the form is shown. The loop
// inside the form has idle moments of its own, and what the idle handler
// starts is not lost.
TYPED_TEST_P(ToolkitConformance, AModalFormIsActivatedOnceAsShownAndReturnsItsResult) {
  Dialog dialog;
  std::vector<std::string> order;
  this->app.OnIdle = [&](bool&) {
    if (!dialog.Modal() || (!order.empty() && order.back() == "idle")) return;
    order.push_back("idle");
    this->driver.Click(dialog.yes);
  };
  dialog.OnShow = [&] { order.push_back("show"); };
  dialog.OnActivate = [&] { order.push_back("activate"); };
  EXPECT_EQ(dialog.ShowModal(), tk::ModalResult::Yes);
  this->app.OnIdle = nullptr;
  EXPECT_EQ(order, (std::vector<std::string>{"show", "activate", "idle"}));
  EXPECT_FALSE(dialog.Visible());
  EXPECT_FALSE(dialog.Modal());
  EXPECT_TRUE(this->app.ModalForms().empty());
}

// Windows may refuse a dialog the foreground (the user works in another
// program, the desktop is not ready at log-on). Its activation work still
// runs once as it is shown, before the user can press a button; a real
// activation later runs it again.
TYPED_TEST_P(ToolkitConformance, AModalFormShownWithoutActivationStillDoesItsActivationWork) {
  Dialog dialog;
  int activations = 0;
  std::string row_when_pressed;
  dialog.OnActivate = [&] {
    dialog.row.SetCaption("filled " + std::to_string(++activations));
    if (activations == 1) this->driver.SwitchAwayAndBack(dialog);
    if (activations == 2) this->driver.Click(dialog.other);
  };
  dialog.other.OnClick = [&] {
    row_when_pressed = dialog.row.Caption();
    dialog.SetModalResult(tk::ModalResult::Ok);
  };
  this->driver.RefuseActivation(dialog);
  EXPECT_EQ(dialog.ShowModal(), tk::ModalResult::Ok);
  EXPECT_EQ(activations, 2);
  EXPECT_EQ(row_when_pressed, "filled 2");

  // Shown again: once more, once.
  activations = 0;
  dialog.OnActivate = [&] {
    ++activations;
    this->driver.Click(dialog.yes);
  };
  this->driver.RefuseActivation(dialog);
  EXPECT_EQ(dialog.ShowModal(), tk::ModalResult::Yes);
  EXPECT_EQ(activations, 1);
}

// Modal loops nest; each ends with its own result, innermost first.
TYPED_TEST_P(ToolkitConformance, NestedModalLoopsEndInnermostFirst) {
  Dialog outer("outer"), inner("inner");
  std::vector<std::string> order;
  tk::ModalResult inner_result = tk::ModalResult::None;
  outer.OnShow = [&] { this->driver.Click(outer.other); };
  outer.other.OnClick = [&] {
    EXPECT_EQ(this->app.ModalForms(), std::vector<tk::Form*>{&outer});
    inner_result = inner.ShowModal();
    order.push_back("inner ended");
    outer.SetModalResult(tk::ModalResult::Ok);
  };
  inner.OnShow = [&] {
    EXPECT_EQ(this->app.ModalForms(), (std::vector<tk::Form*>{&outer, &inner}));
    this->driver.Click(inner.yes);
  };
  EXPECT_EQ(outer.ShowModal(), tk::ModalResult::Ok);
  order.push_back("outer ended");
  EXPECT_EQ(inner_result, tk::ModalResult::Yes);
  EXPECT_EQ(order, (std::vector<std::string>{"inner ended", "outer ended"}));
}

// Queue returns at once (the worker is done before the loop runs again);
// the calls run later, on the user interface thread, in order; what one
// lets out is shown in an error box and the next still runs.
TYPED_TEST_P(ToolkitConformance, QueuedCallsRunLaterInOrderAndTheirErrorsAreShown) {
  const std::thread::id ui = std::this_thread::get_id();
  std::vector<std::string> ran;
  bool all_on_ui = true;
  this->driver.StartWorker([&] {
    for (const char* name : {"first", "failing", "last"}) {
      this->app.Queue([&, name] {
        all_on_ui = all_on_ui && std::this_thread::get_id() == ui;
        ran.push_back(name);
        if (std::string(name) == "failing") throw tk::Error("Unable to write to C:\\Windows\\list.vlt");
      });
    }
  });
  this->driver.JoinWorkers();
  EXPECT_TRUE(ran.empty());
  this->driver.AnswerNextBox(tk::ModalResult::Ok);
  ASSERT_TRUE(this->driver.RunUntil([&] { return ran.size() == 3; }));
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "failing", "last"}));
  EXPECT_TRUE(all_on_ui);
  auto boxes = this->driver.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Veltrane Conformance");
  EXPECT_EQ(boxes[0].text, "Unable to write to C:\\Windows\\list.vlt");
}

// Terminate asked inside nested modal loops ends them all; the handler that
// asked runs to its end, and nothing queued behind it runs any more.
TYPED_TEST_P(ToolkitConformance, TerminateInsideNestedLoopsEndsThemAll) {
  Dialog outer("outer"), inner("inner");
  std::vector<std::string> order;
  int late_clicks = 0;
  this->window.button.OnClick = [&] { ++late_clicks; };
  outer.OnShow = [&] { this->driver.Click(outer.other); };
  outer.other.OnClick = [&] {
    order.push_back(std::string("inner ") + ModalResultName(inner.ShowModal()));
  };
  inner.OnShow = [&] { this->driver.Click(inner.other); };
  inner.other.OnClick = [&] {
    this->app.Terminate();
    this->driver.Click(this->window.button);
    order.push_back("after Terminate");
  };
  EXPECT_EQ(outer.ShowModal(), tk::ModalResult::Cancel);
  EXPECT_EQ(order, (std::vector<std::string>{"after Terminate", "inner Cancel"}));
  EXPECT_TRUE(this->app.Terminated());
  this->app.ProcessMessages();
  EXPECT_EQ(late_clicks, 0);
  // A loop started now ends at once.
  EXPECT_EQ(inner.ShowModal(), tk::ModalResult::Cancel);
  EXPECT_EQ(late_clicks, 0);
}

// Message boxes wait for an answer from outside and return it; the caption
// is the kind's, or the title for plain boxes and errors.
TYPED_TEST_P(ToolkitConformance, MessageBoxesReturnTheAnswerGivenFromOutside) {
  this->driver.AnswerNextBox(tk::ModalResult::No);
  EXPECT_EQ(this->app.MessageBox(tk::MsgKind::Warning, "Protected part of system registry was changed.",
                                 tk::MsgButtons::YesNo),
            tk::ModalResult::No);
  this->driver.AnswerNextBox(tk::ModalResult::Cancel);
  EXPECT_EQ(this->app.MessageBox(tk::MsgKind::Warning, "Are you sure?", tk::MsgButtons::OkCancel),
            tk::ModalResult::Cancel);
  this->driver.AnswerNextBox(tk::ModalResult::Ok);
  this->app.ShowMessage("Configuration saved.");
  // A box inside a modal form's loop.
  Dialog dialog;
  dialog.OnShow = [&] { this->driver.Click(dialog.other); };
  dialog.other.OnClick = [&] {
    this->driver.AnswerNextBox(tk::ModalResult::Yes);
    if (this->app.MessageBox(tk::MsgKind::Confirmation, "Stop it?", tk::MsgButtons::YesNo) == tk::ModalResult::Yes)
      dialog.SetModalResult(tk::ModalResult::Ok);
  };
  EXPECT_EQ(dialog.ShowModal(), tk::ModalResult::Ok);
  auto boxes = this->driver.Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].caption, "Warning");
  EXPECT_EQ(boxes[0].text, "Protected part of system registry was changed.");
  EXPECT_EQ(boxes[1].text, "Are you sure?");
  EXPECT_EQ(boxes[2].caption, "Veltrane Conformance");
  EXPECT_EQ(boxes[2].text, "Configuration saved.");
  EXPECT_EQ(boxes[3].caption, "Confirm");
}

// A click runs OnClick, then OnMouseUp. A check box has toggled by the time
// its handler reads it, and a list has selected the item the user picked.
TYPED_TEST_P(ToolkitConformance, AClickRunsTheHandlersOnceTheControlHasChanged) {
  auto& w = this->window;
  std::vector<std::string> seen;
  w.button.OnClick = [&] { seen.push_back("button click"); };
  w.button.OnMouseUp = [&](tk::MouseButton b, int, int) {
    seen.push_back(b == tk::MouseButton::Left ? "button left up" : "button other up");
  };
  w.box.OnClick = [&] { seen.push_back(w.box.Checked() ? "box click: on" : "box click: off"); };
  w.box.OnMouseUp = [&](tk::MouseButton, int, int) { seen.push_back("box up"); };
  for (const char* item : {"ctfmon", "Veltrane", "ctfmon"}) w.list.AddItem(item);
  w.list.OnClick = [&] {
    seen.push_back("list click: " + std::to_string(w.list.ItemIndex()) + " " + w.list.SelectedText());
  };
  this->driver.Click(w.button);
  this->driver.Click(w.box);
  this->driver.Click(w.box);
  this->driver.Select(w.list, 1);
  const std::vector<std::string> expected{"button click", "button left up", "box click: on", "box up",
                                          "box click: off", "box up", "list click: 1 Veltrane"};
  EXPECT_TRUE(this->driver.RunUntil([&] { return seen.size() >= expected.size(); }));
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(w.box.Checked());
  EXPECT_EQ(w.list.ItemIndex(), 1);
}

// The close box asks the form, which may refuse; by default it hides. A
// modal form's close box ends its loop with Cancel; the main form's ends
// the program.
TYPED_TEST_P(ToolkitConformance, TheCloseBoxAsksTheFormAndEndsWhatTheFormIs) {
  Dialog other("other");
  other.Show();
  int asked = 0;
  tk::CloseAction wanted = tk::CloseAction::None;
  other.OnClose = [&](tk::CloseAction& a) {
    ++asked;
    a = wanted;
  };
  this->driver.CloseBox(other);
  ASSERT_TRUE(this->driver.RunUntil([&] { return asked == 1; }));
  EXPECT_TRUE(other.Visible());
  wanted = tk::CloseAction::Hide;
  this->driver.CloseBox(other);
  ASSERT_TRUE(this->driver.RunUntil([&] { return asked == 2; }));
  EXPECT_FALSE(other.Visible());

  Dialog dialog;
  dialog.OnShow = [&] { this->driver.CloseBox(dialog); };
  EXPECT_EQ(dialog.ShowModal(), tk::ModalResult::Cancel);
  EXPECT_FALSE(dialog.Visible());

  int main_asked = 0;
  tk::CloseAction main_wanted = tk::CloseAction::None;
  this->window.OnClose = [&](tk::CloseAction& a) {
    ++main_asked;
    a = main_wanted;
  };
  this->driver.CloseBox(this->window);
  ASSERT_TRUE(this->driver.RunUntil([&] { return main_asked == 1; }));
  EXPECT_FALSE(this->app.Terminated());
  EXPECT_TRUE(this->window.Visible());
  main_wanted = tk::CloseAction::Hide;
  this->driver.CloseBox(this->window);
  EXPECT_TRUE(this->driver.RunUntil([&] { return this->app.Terminated(); }));
}

// Run shows the main form and raises the idle event, at once again while
// the handler says it is not done; closing the main form ends it.
TYPED_TEST_P(ToolkitConformance, RunShowsTheMainFormAndEndsWhenItIsClosed) {
  this->window.Hide();
  int idles = 0, shows = 0, closes = 0;
  this->app.OnIdle = [&](bool& done) {
    if (++idles < 3)
      done = false;
    else if (idles == 3)
      this->driver.CloseBox(this->window);
  };
  this->window.OnShow = [&] { ++shows; };
  this->window.OnClose = [&](tk::CloseAction&) { ++closes; };
  this->app.Run();
  EXPECT_TRUE(this->app.Terminated());
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(this->window.Visible());
  EXPECT_GE(idles, 3);
  EXPECT_EQ(closes, 1);
}

// Terminate from a timer's handler ends Run once the handler returns;
// what the handler queued behind it never runs.
TYPED_TEST_P(ToolkitConformance, TerminateFromATimerEndsRunWhenTheHandlerReturns) {
  int clicks = 0;
  bool after = false;
  this->window.button.OnClick = [&] { ++clicks; };
  tk::Timer stopper("stopper", 10, true);
  stopper.SetOnTimer([&] {
    this->driver.Click(this->window.button);
    this->app.Terminate();
    after = true;
  });
  this->app.Run();
  EXPECT_TRUE(after);
  EXPECT_EQ(clicks, 0);
}

REGISTER_TYPED_TEST_SUITE_P(ToolkitConformance, AMoveReachesOnlyTheControlUnderThePointer,
                            ATickDuringItsOwnHandlerIsDroppedOtherTimersTickOn,
                            AModalFormIsActivatedOnceAsShownAndReturnsItsResult,
                            AModalFormShownWithoutActivationStillDoesItsActivationWork,
                            NestedModalLoopsEndInnermostFirst,
                            QueuedCallsRunLaterInOrderAndTheirErrorsAreShown, TerminateInsideNestedLoopsEndsThemAll,
                            MessageBoxesReturnTheAnswerGivenFromOutside,
                            AClickRunsTheHandlersOnceTheControlHasChanged,
                            TheCloseBoxAsksTheFormAndEndsWhatTheFormIs, RunShowsTheMainFormAndEndsWhenItIsClosed,
                            TerminateFromATimerEndsRunWhenTheHandlerReturns);

}  // namespace conformance
