#include "components/zel_registry_monitor.h"

#include <atomic>
#include <mutex>
#include "toolkit/application.h"

namespace components {

platform::RootKey RootOf(TzelRegRootKey root) { return platform::RootKey(int(root)); }

// One watch of a key, run on a thread of its own. It holds its own copies
// of the parameters and the handler; the component only asks it to end.
struct MonitorWorker : std::enable_shared_from_this<MonitorWorker> {
  // The watches are set before the thread starts: nothing that changes
  // after StartMonitor has returned is missed.
  MonitorWorker(platform::Registry& registry, platform::RootKey root, std::string path, unsigned filter,
                bool subtree, std::function<void()> handler)
      : registry(registry), root(root), path(std::move(path)), filter(filter), subtree(subtree),
        handler(std::move(handler)), waiter(registry.NewWaiter()) {
    key_present = KeyExists();
    if (key_present) key_watch = WatchKey();
    // Keys created or deleted anywhere under the root: how the watched
    // key's own creation and deletion are seen.
    root_watch = registry.Watch(root, "", true, platform::kChangeName);
  }

  void Run();
  // Hands the handler to the user-interface thread and waits until it has
  // run, or until the worker is told to end.
  void Notify();
  void Terminate() {
    terminated = true;
    waiter->Wake();
  }
  bool KeyExists() { return registry.Open(root, path, platform::Access::Read) != nullptr; }
  std::unique_ptr<platform::ChangeWatch> WatchKey() { return registry.Watch(root, path, subtree, filter); }

  platform::Registry& registry;
  const platform::RootKey root;
  const std::string path;
  const unsigned filter;
  const bool subtree;
  const std::function<void()> handler;
  const std::unique_ptr<platform::ChangeWaiter> waiter;
  bool key_present = false;
  std::unique_ptr<platform::ChangeWatch> key_watch, root_watch;
  std::atomic<bool> terminated{false};
  std::atomic<bool> ended{false};
  std::mutex mu;
  bool handler_done = false;
};

void MonitorWorker::Run() {
  while (!terminated) {
    int fired = waiter->WaitAny({root_watch.get(), key_watch.get()});
    if (terminated || fired == platform::ChangeWaiter::kFailed) break;
    if (fired == platform::ChangeWaiter::kWoken) continue;
    bool present = KeyExists();
    if (!present) {
      // Deleted: both watches may see it; it is reported once.
      key_watch.reset();
      if (key_present) Notify();
    } else if (!key_present) {
      key_watch = WatchKey();
      Notify();
    } else if (fired == 1) {
      Notify();
    }
    key_present = present;
  }
  key_watch.reset();
  root_watch.reset();
  ended = true;
}

void MonitorWorker::Notify() {
  {
    std::lock_guard lock(mu);
    handler_done = false;
  }
  auto self = shared_from_this();
  tk::App().Queue([self] {
    // A worker told to end reports nothing more, even what it had queued.
    if (!self->terminated) tk::App().Invoke(self->handler);
    {
      std::lock_guard lock(self->mu);
      self->handler_done = true;
    }
    self->waiter->Wake();
  });
  while (!terminated) {
    {
      std::lock_guard lock(mu);
      if (handler_done) return;
    }
    waiter->WaitAny({});
  }
}

TzelCustomRegistryMonitor::TzelCustomRegistryMonitor(platform::Registry& registry) : registry_(registry) {}

TzelCustomRegistryMonitor::~TzelCustomRegistryMonitor() {
  destroying_ = true;
  StopMonitor();
  JoinEnded(true);
}

void TzelCustomRegistryMonitor::SetActive(bool active) {
  active_ = active;
  ApplyActive();
}

void TzelCustomRegistryMonitor::SetRegistryKey(const std::string& key) {
  if (key == key_) return;
  key_ = key;
  ApplyActive();
}

void TzelCustomRegistryMonitor::SetRootKey(TzelRegRootKey root) {
  if (root == root_) return;
  root_ = root;
  ApplyActive();
}

void TzelCustomRegistryMonitor::SetNotifyFilters(TzelRegistryMonitorFilters filters) {
  if (filters == filters_) return;
  filters_ = filters;
  ApplyActive();
}

void TzelCustomRegistryMonitor::SetWatchSubTree(bool subtree) {
  if (subtree == subtree_) return;
  subtree_ = subtree;
  ApplyActive();
}

void TzelCustomRegistryMonitor::SetOnChange(std::function<void()> handler) {
  on_change_ = std::move(handler);
  ApplyActive();
}

void TzelCustomRegistryMonitor::ApplyActive() {
  if (active_)
    StartMonitor();
  else
    StopMonitor();
}

void TzelCustomRegistryMonitor::StartMonitor() {
  StopMonitor();
  if (loading_ || destroying_ || !active_ || !on_change_) return;
  auto worker = std::make_shared<MonitorWorker>(registry_, RootOf(root_), key_, filters_, subtree_, on_change_);
  if (!worker->waiter) return;
  threads_.push_back({worker, std::thread([worker] { worker->Run(); })});
  current_ = std::move(worker);
}

void TzelCustomRegistryMonitor::StopMonitor() {
  if (loading_ && !destroying_) return;
  if (current_) {
    current_->Terminate();
    current_.reset();
  }
  JoinEnded(false);
}

bool TzelCustomRegistryMonitor::Watching() const { return current_ && !current_->ended; }

void TzelCustomRegistryMonitor::JoinEnded(bool wait_for_all) {
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
