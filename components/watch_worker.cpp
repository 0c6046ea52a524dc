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

WatchThreads::~WatchThreads() {
  Stop();
  JoinEnded(true);
}

void WatchThreads::Start(std::shared_ptr<WatchWorker> worker) {
  Stop();
  if (!worker->waiter) return;
  threads_.push_back({worker, std::thread([worker] { worker->Run(); })});
  current_ = std::move(worker);
}

void WatchThreads::Stop() {
  if (current_) {
    current_->Terminate();
    current_.reset();
  }
  JoinEnded(false);
}

void WatchThreads::JoinEnded(bool wait_for_all) {
  for (auto it = threads_.begin(); it != threads_.end();) {
    if (wait_for_all || it->worker->ended) {
      it->thread.join();
      it = threads_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace components
