#include "components/watch_worker.h"

#include "toolkit/application.h"

namespace components {

void WatchWorker::Notify() {
  {
    std::lock_guard lock(mu_);
    handler_done_ = false;
  }
  auto self = shared_from_this();
  tk::App().Queue([self] {
    // A worker told to end reports nothing more, even what it had queued.
    if (!self->terminated) tk::App().Invoke(self->handler);
    {
      std::lock_guard lock(self->mu_);
      self->handler_done_ = true;
    }
    self->waiter->Wake();
  });
  while (!terminated) {
    {
      std::lock_guard lock(mu_);
      if (handler_done_) return;
    }
    waiter->WaitAny({});
  }
}

}  // namespace components
