#include "platform/win32/win32_wait.h"

namespace platform::win32 {

WaitResult SignalledWatch::Wait(int timeout_ms) {
  if (broken_) {
    return WaitForSingleObject(cancel_.get(), 0) == WAIT_OBJECT_0 ? WaitResult::Cancelled : WaitResult::Failed;
  }
  // Cancel comes first so that it wins over a change pending at the same time.
  HANDLE handles[2] = {cancel_.get(), Changed()};
  switch (WaitForMultipleObjects(2, handles, FALSE, timeout_ms < 0 ? INFINITE : DWORD(timeout_ms))) {
    case WAIT_OBJECT_0: return WaitResult::Cancelled;
    case WAIT_OBJECT_0 + 1:
      // What is gone cannot be watched again; report this change, fail later.
      Rearm();
      return WaitResult::Changed;
    case WAIT_TIMEOUT: return WaitResult::TimedOut;
    default: return WaitResult::Failed;
  }
}

namespace {

class SignalledWaiter : public ChangeWaiter {
 public:
  SignalledWaiter() : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
  bool Ready() const { return bool(wake_); }

  int WaitAny(const std::vector<ChangeWatch*>& watches) override {
    // The wake-up comes first, so that ending wins over a change at the same time.
    std::vector<HANDLE> handles{wake_.get()};
    std::vector<SignalledWatch*> owner;
    std::vector<int> index_of;
    for (size_t i = 0; i < watches.size(); ++i) {
      if (!watches[i]) continue;
      auto* w = dynamic_cast<SignalledWatch*>(watches[i]);
      if (!w) return kFailed;
      if (HANDLE h = w->ChangedHandle()) {
        handles.push_back(h);
        owner.push_back(w);
        index_of.push_back(int(i));
      }
    }
    if (handles.size() > MAXIMUM_WAIT_OBJECTS) return kFailed;
    DWORD r = WaitForMultipleObjects(DWORD(handles.size()), handles.data(), FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) return kWoken;
    if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + handles.size()) {
      owner[r - WAIT_OBJECT_0 - 1]->Rearm();
      return index_of[r - WAIT_OBJECT_0 - 1];
    }
    return kFailed;
  }

  void Wake() override { SetEvent(wake_.get()); }

 private:
  Handle wake_;
};

}  // namespace

std::unique_ptr<ChangeWaiter> NewSignalledWaiter() {
  auto waiter = std::make_unique<SignalledWaiter>();
  if (!waiter->Ready()) return nullptr;
  return waiter;
}

}  // namespace platform::win32
