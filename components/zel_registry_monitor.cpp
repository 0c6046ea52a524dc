#include "components/zel_registry_monitor.h"

#include <atomic>
#include <mutex>
#include "toolkit/application.h"

namespace components {

// One watch of a key, in each of its views, run on a thread of its own. It
// holds its own copies of the parameters and the handler; the component
// only asks it to end.
struct MonitorWorker : std::enable_shared_from_this<MonitorWorker> {
  struct ViewWatch {
    platform::RegView view = platform::RegView::Native;
    bool key_present = false;
    std::unique_ptr<platform::ChangeWatch> key_watch;
  };

  // The watches are set before the thread starts: nothing that changes
  // after StartMonitor has returned is missed.
  MonitorWorker(platform::Registry& registry, platform::RootKey root, std::string path, unsigned filter,
                bool subtree, const std::vector<platform::RegView>& watched_views, std::function<void()> handler)
      : registry(registry), root(root), path(std::move(path)), filter(filter), subtree(subtree),
        handler(std::move(handler)), waiter(registry.NewWaiter()) {
    for (platform::RegView view : watched_views) {
      ViewWatch& w = views.emplace_back();
      w.view = view;
      w.key_present = KeyExists(view);
      if (w.key_present) w.key_watch = WatchKey(view);
    }
    // Keys created or deleted anywhere under the root: how the watched
    // key's own creation and deletion are seen, in every view.
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
  bool KeyExists(platform::RegView view) {
    return registry.Open(root, path, platform::Access::Read, nullptr, view) != nullptr;
  }
  std::unique_ptr<platform::ChangeWatch> WatchKey(platform::RegView view) {
    return registry.Watch(root, path, subtree, filter, view);
  }

  platform::Registry& registry;
  const platform::RootKey root;
  const std::string path;
  const unsigned filter;
  const bool subtree;
  const std::function<void()> handler;
  const std::unique_ptr<platform::ChangeWaiter> waiter;
  std::vector<ViewWatch> views;
  std::unique_ptr<platform::ChangeWatch> root_watch;
  std::atomic<bool> terminated{false};
  std::atomic<bool> ended{false};
  std::mutex mu;
  bool handler_done = false;
};

void MonitorWorker::Run() {
  while (!terminated) {
    std::vector<platform::ChangeWatch*> watches{root_watch.get()};
    for (const ViewWatch& w : views) watches.push_back(w.key_watch.get());
    int fired = waiter->WaitAny(watches);
    if (terminated || fired == platform::ChangeWaiter::kFailed) break;
    if (fired == platform::ChangeWaiter::kWoken) continue;
    // One report for whatever this wake-up saw, in however many views.
    bool changed = false;
    for (size_t i = 0; i < views.size(); ++i) {
      ViewWatch& w = views[i];
      bool present = KeyExists(w.view);
      if (!present) {
        // Deleted: both watches may see it; it is reported once.
        w.key_watch.reset();
        changed = changed || w.key_present;
      } else if (!w.key_present) {
        w.key_watch = WatchKey(w.view);
        changed = true;
      } else if (fired == int(i) + 1) {
        changed = true;
      }
      w.key_present = present;
    }
    if (changed) Notify();
  }
  for (ViewWatch& w : views) w.key_watch.reset();
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

TzelRegistryMonitor::TzelRegistryMonitor(platform::Registry& registry) : registry_(registry) {}

TzelRegistryMonitor::~TzelRegistryMonitor() {
  destroying_ = true;
  StopMonitor();
  JoinEnded(true);
}

void TzelRegistryMonitor::SetActive(bool active) {
  active_ = active;
  ApplyActive();
}

void TzelRegistryMonitor::SetRegistryKey(const std::string& key) {
  if (key == key_) return;
  key_ = key;
  ApplyActive();
}

void TzelRegistryMonitor::SetRootKey(platform::RootKey root) {
  if (root == root_) return;
  root_ = root;
  ApplyActive();
}

void TzelRegistryMonitor::SetNotifyFilters(TzelRegistryMonitorFilters filters) {
  if (filters == filters_) return;
  filters_ = filters;
  ApplyActive();
}

void TzelRegistryMonitor::SetWatchSubTree(bool subtree) {
  if (subtree == subtree_) return;
  subtree_ = subtree;
  ApplyActive();
}

void TzelRegistryMonitor::SetRegistryViews(std::vector<platform::RegView> views) {
  if (views == views_) return;
  views_ = std::move(views);
  ApplyActive();
}

void TzelRegistryMonitor::SetOnChange(std::function<void()> handler) {
  on_change_ = std::move(handler);
  ApplyActive();
}

void TzelRegistryMonitor::ApplyActive() {
  if (active_)
    StartMonitor();
  else
    StopMonitor();
}

void TzelRegistryMonitor::StartMonitor() {
  StopMonitor();
  if (loading_ || destroying_ || !active_ || !on_change_) return;
  auto worker = std::make_shared<MonitorWorker>(registry_, root_, key_, filters_, subtree_, views_, on_change_);
  if (!worker->waiter) return;
  threads_.push_back({worker, std::thread([worker] { worker->Run(); })});
  current_ = std::move(worker);
}

void TzelRegistryMonitor::StopMonitor() {
  if (loading_ && !destroying_) return;
  if (current_) {
    current_->Terminate();
    current_.reset();
  }
  JoinEnded(false);
}

bool TzelRegistryMonitor::Watching() const { return current_ && !current_->ended; }

void TzelRegistryMonitor::JoinEnded(bool wait_for_all) {
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
