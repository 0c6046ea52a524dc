// FolderMonitor: watches folders from worker threads and calls OnChange on
// the user-interface thread when something directly in one of them changes,
// and when one of them is created or deleted.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "components/watch_worker.h"
#include "platform/files.h"

namespace components {

class FolderMonitor {
 public:
  explicit FolderMonitor(platform::Files& files);
  // Stops the watch and waits for its worker; no handler runs afterwards.
  ~FolderMonitor();
  FolderMonitor(const FolderMonitor&) = delete;
  FolderMonitor& operator=(const FolderMonitor&) = delete;

  // Both restart a running watch with what they set.
  void SetFolders(std::vector<std::string> folders);
  void SetOnChange(std::function<void()> handler);

  // Replaces the current worker by a new one, when there are folders and a
  // handler.
  void StartMonitor();
  // Ends the current watch at once: its worker is woken and ends without
  // reporting again. Never waits for it, so the change handler may call it.
  void StopMonitor();
  // A worker is watching: started, not stopped, and not ended by itself.
  bool Watching() const;

 private:
  platform::Files& files_;
  std::vector<std::string> folders_;
  std::function<void()> on_change_;
  bool destroying_ = false;
  // One worker for each kFoldersPerWorker folders: a thread can wait on no
  // more than 64 objects, and each folder takes two. Kept once made, so that
  // none is ever waited for from the window's thread.
  static constexpr size_t kFoldersPerWorker = 30;
  std::vector<std::unique_ptr<WatchThreads>> threads_;
};

}  // namespace components
