// TzelRegistryMonitor: watches one registry key from a worker thread and
// calls OnChange on the user-interface thread when something under it
// changes, and when the key itself is created or deleted.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "components/zel_component.h"
#include "platform/registry.h"

namespace components {

enum class TzelRegRootKey { rrkClassesRoot, rrkCurrentUser, rrkLocalMachine, rrkUsers, rrkCurrentConfig,
                            rrkDynData };

enum TzelRegistryMonitorFilter : unsigned {
  rmfSubTreeChange = 1,    // REG_NOTIFY_CHANGE_NAME
  rmfAttributeChange = 2,  // REG_NOTIFY_CHANGE_ATTRIBUTES
  rmfValueChange = 4,      // REG_NOTIFY_CHANGE_LAST_SET
  rmfSecurityChange = 8,   // REG_NOTIFY_CHANGE_SECURITY
};
// A set of TzelRegistryMonitorFilter bits; it is also the notify-filter mask.
using TzelRegistryMonitorFilters = unsigned;

// The registry views the key is watched in. rvBoth watches the 32-bit view
// too where it is a view of its own (64-bit Windows), and is rvNative
// elsewhere.
enum class TzelRegView { rvNative, rvWow32, rvBoth };

struct MonitorWorker;

class TzelCustomRegistryMonitor : public TzelComponent {
 public:
  explicit TzelCustomRegistryMonitor(platform::Registry& registry);
  // Stops the watch; no handler runs afterwards.
  ~TzelCustomRegistryMonitor() override;

  bool Active() const { return active_; }
  // Always re-applies, so setting true while running restarts the watch.
  void SetActive(bool active);
  const std::string& RegistryKey() const { return key_; }
  void SetRegistryKey(const std::string& key);
  TzelRegRootKey RootKey() const { return root_; }
  void SetRootKey(TzelRegRootKey root);
  TzelRegistryMonitorFilters NotifyFilters() const { return filters_; }
  void SetNotifyFilters(TzelRegistryMonitorFilters filters);
  bool WatchSubTree() const { return subtree_; }
  void SetWatchSubTree(bool subtree);
  TzelRegView RegistryView() const { return view_; }
  void SetRegistryView(TzelRegView view);
  const std::function<void()>& OnChange() const { return on_change_; }
  void SetOnChange(std::function<void()> handler);

  virtual void ApplyActive();
  // Replaces the current worker by a new one, when monitoring is wanted and
  // there is a handler.
  virtual void StartMonitor();
  // Ends the current watch at once: its worker is woken and ends without
  // reporting again. Never waits for it, so the change handler may call it.
  virtual void StopMonitor();
  // A worker is watching: started, not stopped, and not ended by itself.
  bool Watching() const;

  // Acts as loading has finished: a monitor set active starts now.
  void Loaded() override {
    loading_ = false;
    SetActive(active_);
  }

 private:
  // Joins the workers that have ended (all of them, waiting, when the
  // component goes).
  void JoinEnded(bool wait_for_all);
  platform::Registry& registry_;
  bool active_ = false;
  std::string key_;
  TzelRegRootKey root_ = TzelRegRootKey::rrkCurrentUser;
  TzelRegistryMonitorFilters filters_ = rmfSubTreeChange | rmfValueChange;
  bool subtree_ = true;
  TzelRegView view_ = TzelRegView::rvNative;
  std::function<void()> on_change_;
  bool loading_ = true;  // until the owner has finished setting it up
  bool destroying_ = false;
  std::shared_ptr<MonitorWorker> current_;
  struct Thread {
    std::shared_ptr<MonitorWorker> worker;
    std::thread thread;
  };
  std::vector<Thread> threads_;
};

class TzelRegistryMonitor : public TzelCustomRegistryMonitor {
 public:
  using TzelCustomRegistryMonitor::TzelCustomRegistryMonitor;
};

platform::RootKey RootOf(TzelRegRootKey root);

}  // namespace components
