// What the worker thread of a watch (the registry's or the folders') shares
// with the component that owns it: its handler, its waiter, and the
// hand-over of each report to the user-interface thread.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/registry.h"

namespace components {

struct WatchWorker : std::enable_shared_from_this<WatchWorker> {
  WatchWorker(std::function<void()> handler, std::unique_ptr<platform::ChangeWaiter> waiter)
      : handler(std::move(handler)), waiter(std::move(waiter)) {}
  virtual ~WatchWorker() = default;
  // Waits for changes until it is told to end, then sets ended.
  virtual void Run() = 0;

  // Hands the handler to the user-interface thread and waits until it has
  // run, or until the worker is told to end.
  void Notify();
  void Terminate() {
    terminated = true;
    waiter->Wake();
  }

  const std::function<void()> handler;
  const std::unique_ptr<platform::ChangeWaiter> waiter;
  std::atomic<bool> terminated{false};
  std::atomic<bool> ended{false};

 private:
  std::mutex mu_;
  bool handler_done_ = false;
};

// The workers of one component: the current one, and those told to end that
// are still to be joined.
class WatchThreads {
 public:
  WatchThreads() = default;
  WatchThreads(const WatchThreads&) = delete;
  WatchThreads& operator=(const WatchThreads&) = delete;
  // Ends the current worker and waits for every thread.
  ~WatchThreads();
  // Ends the current worker, then runs this one on a thread of its own,
  // unless it has no waiter.
  void Start(std::shared_ptr<WatchWorker> worker);
  // Ends the current worker at once: it is woken and ends without reporting
  // again. Never waits for it, so a handler may call it.
  void Stop();
  // A worker is watching: started, not stopped, and not ended by itself.
  bool Watching() const { return current_ && !current_->ended; }

 private:
  void JoinEnded(bool wait_for_all);
  std::shared_ptr<WatchWorker> current_;
  struct Thread {
    std::shared_ptr<WatchWorker> worker;
    std::thread thread;
  };
  std::vector<Thread> threads_;
};

}  // namespace components
