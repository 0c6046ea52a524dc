// TzelRegistryMonitor: watches registry keys from a worker thread and calls
// OnChange on the user-interface thread when something under one of them
// changes, and when one of the keys is created or deleted.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "components/watch_worker.h"
#include "components/zel_component.h"
#include "platform/registry.h"

namespace components {

enum TzelRegistryMonitorFilter : unsigned {
  rmfSubTreeChange = 1,    // REG_NOTIFY_CHANGE_NAME
  rmfAttributeChange = 2,  // REG_NOTIFY_CHANGE_ATTRIBUTES
  rmfValueChange = 4,      // REG_NOTIFY_CHANGE_LAST_SET
};
// A set of TzelRegistryMonitorFilter bits; it is also the notify-filter mask.
using TzelRegistryMonitorFilters = unsigned;


using WatchedKey = platform::KeyLocation;

class TzelRegistryMonitor : public TzelComponent {
 public:
  explicit TzelRegistryMonitor(platform::Registry& registry);
  // Stops the watch; no handler runs afterwards.
  ~TzelRegistryMonitor() override;

  // Always re-applies, so setting true while running restarts the watch.
  void SetActive(bool active);
  // The keys watched; a change in any number of them is one report.
  void SetKeys(std::vector<WatchedKey> keys);
  void SetNotifyFilters(TzelRegistryMonitorFilters filters);
  void SetWatchSubTree(bool subtree);
  void SetOnChange(std::function<void()> handler);
  // In place of OnChange: told which of the keys changed, each once.
  void SetOnKeysChange(std::function<void(const std::vector<WatchedKey>&)> handler);

  // Replaces the current worker by a new one, when monitoring is wanted and
  // there is a handler.
  void StartMonitor();
  // Ends the current watch at once: its worker is woken and ends without
  // reporting again. Never waits for it, so the change handler may call it.
  void StopMonitor();
  // A worker is watching: started, not stopped, and not ended by itself.
  bool Watching() const;

  // Acts as loading has finished: a monitor set active starts now.
  void Loaded() override {
    loading_ = false;
    SetActive(active_);
  }

 private:
  void ApplyActive();
  // Joins the workers that have ended (all of them, waiting, when the
  // component goes).
  platform::Registry& registry_;
  bool active_ = false;
  std::vector<WatchedKey> keys_;
  TzelRegistryMonitorFilters filters_ = rmfSubTreeChange | rmfValueChange;
  bool subtree_ = true;
  std::function<void()> on_change_;
  std::function<void(const std::vector<WatchedKey>&)> on_keys_change_;
  bool loading_ = true;  // until the owner has finished setting it up
  bool destroying_ = false;
  WatchThreads threads_;
};

}  // namespace components
