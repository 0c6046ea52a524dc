// What the model needs from a window system. The win32 backend is real
// Windows; the headless backend is a scripted stand-in for tests.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include "toolkit/control.h"

namespace tk {

class Form;

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
  // From a worker thread: runs call on the UI thread and returns when it has run.
  virtual void Synchronize(const std::function<void()>& call) = 0;
  virtual void Popup(PopupMenu& menu, int x, int y) = 0;
  virtual void TitleChanged(const std::string& title) {}
  virtual void Terminating() {}
};

}  // namespace tk
