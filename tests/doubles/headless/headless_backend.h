// A window system for tests: no windows, a virtual clock for timers, a queue
// of posted user actions, scripted answers for message boxes and modal
// forms, and a record of every box shown.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>
#include "toolkit/application.h"
#include "toolkit/backend.h"

namespace tk::headless {

struct BoxRecord {
  MsgKind kind;
  std::string caption;
  std::string text;
  MsgButtons buttons;
  ModalResult answer;
};

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend() = default;

  // --- Driving the program as a user would -------------------------------
  // Queues a user action; it runs when the loop gets to it. Refused (false)
  // when the control is disabled or not showing, as a real click would be.
  bool Click(Control& control);
  // The space bar on a focused check box: toggles it and runs OnClick, but
  // no OnMouseUp, as no mouse button was released.
  bool PressSpace(CheckBox& box);
  bool Select(ListBox& list, int index);
  bool MouseMove(Control& control, int x = 1, int y = 1);
  // The form's close box.
  void CloseBox(Form& form);
  // The form's minimise box.
  void MinimizeBox(Form& form);
  // Another program posts a message registered under this name to the
  // application (what ListenForMessage waits for). Dropped, as Windows'
  // message filter drops it, when the sender has fewer rights than the
  // listener lets through.
  void PostNamedMessage(const std::string& name, Rights sender = Rights::Same);
  // Another program sends it and waits: the listener's answer, or 0 (what
  // a window answers a message it does not know, and what a dropped
  // message leaves).
  intptr_t SendNamedMessage(const std::string& name, Rights sender = Rights::Same);
  // Windows ends the session.
  void EndSession();
  void Post(std::function<void()> event);
  // The system sends a message to the message window with this handle (as
  // the shell knows it from the icon it was given), as SendMessage does: its
  // handler runs at once. False when nobody handled it or no such window lives.
  bool Send(uintptr_t window, unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result);
  // A test's own peer for the control: it hears every change the model
  // would tell a window. nullptr takes it away.
  static void AttachPeer(Control& control, std::unique_ptr<ControlPeer> peer);

  // Runs the loop until nothing is pending at the current virtual time and
  // the idle event has been raised.
  void RunUntilIdle();
  // Moves the virtual clock forward, firing due timers in order and running
  // whatever they cause.
  void Advance(int64_t ms);
  int64_t Now() const { return now_; }
  // For a whole-program Application::Run(): timers run on the virtual clock
  // up to this time; then, with nothing left to do, the program ends.
  void SetRunDeadline(int64_t ms) { run_deadline_ = ms; }
  // Virtual time of a timer's next tick, or -1 when it is not running.
  int64_t NextTick(const Timer& timer) const;

  // Runs whenever the program lets the window system serve it: at each look
  // at the queue, each message box and each modal form.
  std::function<void()> on_serve;

  // --- Message boxes -----------------------------------------------------
  // Answers for the next boxes, in order; after them, the box's first button.
  void AnswerBoxes(std::initializer_list<ModalResult> answers);
  std::function<ModalResult(const BoxRecord&)> box_answerer;
  const std::vector<BoxRecord>& Boxes() const { return boxes_; }
  std::vector<std::string> BoxTexts() const;
  void ClearBoxes() { boxes_.clear(); }

  // --- Activation --------------------------------------------------------
  // When set, the window system refuses to activate forms as they are shown
  // (another program holds the foreground, as at log-on or while the user
  // works elsewhere).
  bool refuse_activation = false;
  // The user switches to another program and back to the form: it loses
  // and regains the activation.
  void SwitchAwayAndBack(Form& form);

  // --- Modal forms -------------------------------------------------------
  // Called whenever a modal form's loop has nothing to do; returns true
  // when it acted (queued a click, closed the form, ...). When it does not
  // act, pending timers run on the virtual clock; with none left the form
  // is closed unanswered (ModalResult Cancel), as a user's close box would.
  std::function<bool(Form&)> modal_answerer;
  const std::vector<std::string>& ModalForms() const { return modal_log_; }
  int UnansweredModals() const { return unanswered_; }

  // --- Worker threads ----------------------------------------------------
  // Waits in real time (bounded) until a call queued by a worker is pending.
  bool WaitForSynchronize(int timeout_ms);

  // --- Pop-up menus ------------------------------------------------------
  // Chooses from a menu as it pops up: the name of the item, or "" to close
  // it without a choice. Unset, every menu closes without a choice.
  std::function<std::string(PopupMenu&)> popup_answerer;
  const std::vector<std::string>& Popups() const { return popups_; }
  // The handle of the owner given with the last menu, 0 without one.
  uintptr_t LastPopupOwner() const { return popup_owner_; }

  // --- Pointer -----------------------------------------------------------
  void SetCursorPos(Point p) { cursor_ = p; }

  // --- Backend -----------------------------------------------------------
  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override { return nullptr; }
  bool ProcessOne() override;
  void WaitForEvent() override;
  void Wake() override;
  void BeginModal(Form& form) override;
  void EndModal(Form& form) override;
  ModalResult ShowMessageBox(MsgKind kind, const std::string& caption, const std::string& text,
                             MsgButtons buttons) override;
  void UpdateTimer(Timer& timer) override;
  void RemoveTimer(Timer& timer) override;
  void Queue(std::function<void()> call) override;
  void Popup(PopupMenu& menu, int x, int y, MessageWindow* owner) override;
  // A stand-in window with a handle number of its own.
  std::unique_ptr<MessageWindowPeer> CreateMessageWindow(MessageWindow& window) override;
  unsigned RegisterMessage(const std::string& name) override;
  void ListenForMessage(const std::string& name, std::function<void()> handler, Rights lowest_sender = Rights::Same,
                        intptr_t answer = 0) override;
  Point CursorPos() override { return cursor_; }

 private:
  struct ModalSession {
    Form* form;
    int64_t started;
  };
  struct Listening {
    std::vector<std::function<void()>> handlers;
    Rights lowest_sender = Rights::Same;
    intptr_t answer = 0;
  };
  // The listening for a message from a sender of these rights, or nullptr
  // when nobody listens or the filter drops it.
  const Listening* ListeningFor(const std::string& name, Rights sender) const;
  Timer* EarliestTimer(int64_t not_after) const;

  int64_t now_ = 0;
  std::map<Timer*, int64_t> timers_;
  std::set<Timer*> ticking_;  // handlers running now
  std::deque<ModalResult> box_answers_;
  std::vector<BoxRecord> boxes_;
  std::vector<std::string> modal_log_;
  std::vector<std::string> popups_;
  uintptr_t popup_owner_ = 0;
  // The living message windows by handle; shared with their peers, which
  // may outlive the backend.
  std::shared_ptr<std::map<uintptr_t, MessageWindow*>> windows_ = std::make_shared<std::map<uintptr_t, MessageWindow*>>();
  std::map<std::string, unsigned> registered_;
  std::map<std::string, Listening> listeners_;
  uintptr_t next_window_ = 0x10000;
  Point cursor_;
  std::vector<ModalSession> modals_;
  int unanswered_ = 0;
  bool idle_reached_ = false;
  bool draining_ = false;
  int64_t run_deadline_ = 0;
  uint64_t processed_ = 0;

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace tk::headless
