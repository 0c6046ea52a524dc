// A scripted process table: tests say which programs run, and which of them
// refuse to be inspected or stopped.
#pragma once
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/processes.h"

namespace platform::portable {

class PortableProcesses : public Processes {
 public:
  std::vector<uint32_t> EnumerateIds(size_t max_count) override;
  std::optional<std::string> ImagePath(uint32_t pid) override;
  std::vector<ProcessEntry> Snapshot() override;
  StopResult Stop(uint32_t pid, const std::function<bool(const std::string&)>& is_it) override;
  bool IsCritical(uint32_t pid) override;
  std::string WindowsFolder() override;
  // The Windows folder's system32.
  std::string SystemFolder() override;
  bool Is64BitWindows() override;

  // Adds a process (or replaces the one with this pid); the snapshot name is
  // the file name of full_path. Order of addition is the system's order.
  void Add(uint32_t pid, const std::string& full_path);
  bool Running(uint32_t pid) const;
  // Pids stopped through Terminate, in order.
  std::vector<uint32_t> Terminated() const;
  // Stop of this pid fails and leaves it running (a protected process).
  void SetTerminateFails(uint32_t pid, bool fails = true);
  // ImagePath of this pid fails (a process of another user).
  void SetImagePathHidden(uint32_t pid, bool hidden = true);
  // Windows marks the process critical.
  void SetCritical(uint32_t pid, bool critical = true);
  // A stopped process that stays for this many waits before it is gone;
  // with ends false it never goes, and the wait gives up after them.
  void SetSlowToEnd(uint32_t pid, int pending_waits, bool ends = true);
  // The process ends, and another program gets its id, just as Stop opens
  // it: what a check before the stop would not see.
  void ReuseIdOnStop(uint32_t pid, const std::string& new_path);
  // "C:\Windows" until set.
  void SetWindowsFolder(const std::string& folder);
  // 32-bit Windows until set.
  void SetIs64BitWindows(bool is_64bit);
  // WaitForEnd calls so far, over all stopped processes.
  int EndWaits() const;

 private:
  class Stopped;
  struct Proc {
    uint32_t pid;
    std::string path;
  };
  struct Slow {
    int pending_waits;
    bool ends;
  };
  void Remove(uint32_t pid);

  mutable std::mutex mu_;
  std::vector<Proc> table_;
  std::vector<uint32_t> terminated_;
  std::set<uint32_t> unstoppable_;
  std::set<uint32_t> hidden_;
  std::set<uint32_t> critical_;
  std::map<uint32_t, Slow> slow_;
  std::map<uint32_t, std::string> reused_;
  std::string windows_folder_ = "C:\\Windows";
  bool is_64bit_ = false;
  int end_waits_ = 0;
};

}  // namespace platform::portable
