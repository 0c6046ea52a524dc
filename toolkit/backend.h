// What the model needs from a window system. The win32 backend is real
// Windows; the headless backend is a scripted stand-in for tests.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "toolkit/control.h"
#include "toolkit/message_window.h"

namespace tk {

class Form;

struct Point {
  int x = 0, y = 0;
};

// Another program's rights against this one's, as Windows' message filter
// judges them (integrity levels).
enum class Rights { Same, Fewer };

class Backend {
 public:
  virtual ~Backend() = default;
  // nullptr when the backend keeps no native object for controls.
  virtual std::unique_ptr<ControlPeer> CreatePeer(Control& control) = 0;
  // Handles one pending event; false when none was pending.
  virtual bool ProcessOne() = 0;
  // Blocks until something may be pending (called when the loop is idle).
  virtual void WaitForEvent() = 0;
  // Wakes WaitForEvent from any thread.
  virtual void Wake() = 0;
  // Shows a form modally: disables the other windows; EndModal undoes it.
  virtual void BeginModal(Form& form) = 0;
  virtual void EndModal(Form& form) = 0;
  virtual ModalResult ShowMessageBox(MsgKind kind, const std::string& caption,
                                     const std::string& text, MsgButtons buttons) = 0;
  // Re-applies a timer's state (armed or not, interval).
  virtual void UpdateTimer(Timer& timer) = 0;
  virtual void RemoveTimer(Timer& timer) = 0;
  // From any thread: runs call on the UI thread later and returns at once.
  // Calls still waiting when the backend goes are dropped.
  virtual void Queue(std::function<void()> call) = 0;
  // Shows the menu at a screen point and runs the chosen item. With an
  // owner, that window takes the foreground while the menu is up.
  virtual void Popup(PopupMenu& menu, int x, int y, MessageWindow* owner) = 0;
  // The native window of a message window; nullptr when there is none.
  virtual std::unique_ptr<MessageWindowPeer> CreateMessageWindow(MessageWindow& window) { return nullptr; }
  // The number of a message known by name to every program of the session.
  virtual unsigned RegisterMessage(const std::string& name) = 0;
  // Runs handler whenever another program posts the named message to this
  // application's window. A program that sends it instead is answered
  // `answer` at once and nothing runs: that is how it asks who is there.
  // Windows drops the message from programs with fewer rights than
  // lowest_sender.
  virtual void ListenForMessage(const std::string& name, std::function<void()> handler,
                                Rights lowest_sender = Rights::Same, intptr_t answer = 0) = 0;
  virtual Point CursorPos() = 0;
  virtual void TitleChanged(const std::string& title) {}
  virtual void Terminating() {}
};

}  // namespace tk
