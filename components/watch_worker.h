// What the worker thread of a watch (the registry's or the folders') shares
// with the component that owns it: its handler, its waiter, and the
// hand-over of each report to the user-interface thread.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/registry.h"

namespace components {

struct WatchWorker : std::enable_shared_from_this<WatchWorker> {
  WatchWorker(std::function<void()> handler, std::unique_ptr<platform::ChangeWaiter> waiter)
      : handler(std::move(handler)), waiter(std::move(waiter)) {}
  virtual ~WatchWorker() = default;

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

}  // namespace components
