#include "components/zel_registry_monitor.h"

#include <algorithm>
#include "components/watch_worker.h"

namespace components {

// One watch of the keys, run on a thread of its own. It holds its own
// copies of the parameters and the handler; the component only asks it to
// end.
struct MonitorWorker : WatchWorker {
  struct KeyWatch {
    WatchedKey key;
    bool present = false;
    std::unique_ptr<platform::ChangeWatch> watch;
  };

  // The watches are set before the thread starts: nothing that changes
  // after StartMonitor has returned is missed.
  // changed: where the keys of each report go before the handler runs.
  MonitorWorker(platform::Registry& registry, const std::vector<WatchedKey>& watched, unsigned filter, bool subtree,
                std::function<void()> handler, std::shared_ptr<std::vector<WatchedKey>> changed)
      : WatchWorker(std::move(handler), registry.NewWaiter()),
        registry(registry),
        filter(filter),
        subtree(subtree),
        changed(std::move(changed)) {
    std::vector<platform::RootKey> roots;
    for (const WatchedKey& key : watched) {
      KeyWatch& w = keys.emplace_back();
      w.key = key;
      w.present = KeyExists(key);
      if (w.present) w.watch = WatchKey(key);
      if (std::find(roots.begin(), roots.end(), key.root) == roots.end()) roots.push_back(key.root);
    }
    // Keys created or deleted anywhere under a root: how the watched keys'
    // own creation and deletion are seen, in every view.
    for (platform::RootKey root : roots) root_watches.push_back(registry.Watch(root, "", true, platform::kChangeName));
  }

  void Run() override;
  bool KeyExists(const WatchedKey& key) {
    return registry.Open(key.root, key.path, platform::Access::Read, nullptr, key.view) != nullptr;
  }
  std::unique_ptr<platform::ChangeWatch> WatchKey(const WatchedKey& key) {
    return registry.Watch(key.root, key.path, subtree, filter, key.view);
  }

  platform::Registry& registry;
  const unsigned filter;
  const bool subtree;
  const std::shared_ptr<std::vector<WatchedKey>> changed;
  std::vector<KeyWatch> keys;
  std::vector<std::unique_ptr<platform::ChangeWatch>> root_watches;
};

void MonitorWorker::Run() {
  while (!terminated) {
    std::vector<platform::ChangeWatch*> watches;
    for (const auto& root_watch : root_watches) watches.push_back(root_watch.get());
    for (const KeyWatch& w : keys) watches.push_back(w.watch.get());
    const int fired = waiter->WaitAny(watches);
    if (terminated || fired == platform::ChangeWaiter::kFailed) break;
    if (fired == platform::ChangeWaiter::kWoken) continue;
    // One report for whatever this wake-up saw, in however many keys.
    std::vector<WatchedKey> seen;
    for (size_t i = 0; i < keys.size(); ++i) {
      KeyWatch& w = keys[i];
      const bool present = KeyExists(w.key);
      bool change = false;
      if (!present) {
        // Deleted: both watches may see it; it is reported once.
        w.watch.reset();
        change = w.present;
      } else if (!w.present) {
        w.watch = WatchKey(w.key);
        change = true;
      } else if (fired == int(root_watches.size() + i)) {
        change = true;
      }
      w.present = present;
      if (change) seen.push_back(w.key);
    }
    if (seen.empty()) continue;
    // The handler reads them while this thread waits for it.
    if (changed) *changed = std::move(seen);
    Notify();
  }
  for (KeyWatch& w : keys) w.watch.reset();
  root_watches.clear();
  ended = true;
}

TzelRegistryMonitor::TzelRegistryMonitor(platform::Registry& registry) : registry_(registry) {}

TzelRegistryMonitor::~TzelRegistryMonitor() {
  destroying_ = true;
  StopMonitor();
}

void TzelRegistryMonitor::SetActive(bool active) {
  active_ = active;
  ApplyActive();
}

void TzelRegistryMonitor::SetKeys(std::vector<WatchedKey> keys) {
  if (keys == keys_) return;
  keys_ = std::move(keys);
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

void TzelRegistryMonitor::SetOnChange(std::function<void()> handler) {
  on_change_ = std::move(handler);
  ApplyActive();
}

void TzelRegistryMonitor::SetOnKeysChange(std::function<void(const std::vector<WatchedKey>&)> handler) {
  on_keys_change_ = std::move(handler);
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
  if (loading_ || destroying_ || !active_ || (!on_change_ && !on_keys_change_)) return;
  if (!on_keys_change_) {
    threads_.Start(std::make_shared<MonitorWorker>(registry_, keys_, filters_, subtree_, on_change_, nullptr));
    return;
  }
  auto changed = std::make_shared<std::vector<WatchedKey>>();
  threads_.Start(std::make_shared<MonitorWorker>(registry_, keys_, filters_, subtree_,
                                                 [changed, handler = on_keys_change_] { handler(*changed); }, changed));
}

void TzelRegistryMonitor::StopMonitor() {
  if (loading_ && !destroying_) return;
  threads_.Stop();
}

bool TzelRegistryMonitor::Watching() const { return threads_.Watching(); }

}  // namespace components
