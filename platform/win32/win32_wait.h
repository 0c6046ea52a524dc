// Change watches that signal a handle, and one waiter for all of them, so
// that a worker can wait on registry keys and folders at once. Only for the
// backend's .cpp files.
#pragma once
#include "platform/registry.h"
#include "platform/win32/win32_handles.h"

namespace platform::win32 {

class SignalledWatch : public ChangeWatch {
 public:
  WaitResult Wait(int timeout_ms) override;
  void Cancel() override { SetEvent(cancel_.get()); }

  // For a waiter: the handle a change signals, or nullptr when the watch
  // can report nothing more (what it watched is gone).
  HANDLE ChangedHandle() const { return broken_ ? nullptr : Changed(); }
  // After a waiter saw a change: watch again, as Wait does.
  void Rearm() {
    if (!Arm()) broken_ = true;
  }

 protected:
  SignalledWatch() : cancel_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  bool CanCancel() const { return bool(cancel_); }
  virtual HANDLE Changed() const = 0;
  // Asks for the next change.
  virtual bool Arm() = 0;

 private:
  Handle cancel_;
  bool broken_ = false;
};

// nullptr when the system gives no event to wake it with.
std::unique_ptr<ChangeWaiter> NewSignalledWaiter();

}  // namespace platform::win32
