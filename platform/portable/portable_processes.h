// A scripted process table: tests say which programs run, and which of them
// refuse to be inspected or stopped.
#pragma once
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
  bool Terminate(uint32_t pid) override;

  // Adds a process (or replaces the one with this pid); the snapshot name is
  // the file name of full_path. Order of addition is the system's order.
  void Add(uint32_t pid, const std::string& full_path);
  bool Running(uint32_t pid) const;
  // Pids stopped through Terminate, in order.
  std::vector<uint32_t> Terminated() const;
  // Terminate of this pid fails and leaves it running (a protected process).
  void SetTerminateFails(uint32_t pid, bool fails = true);
  // ImagePath of this pid fails (a process of another user).
  void SetImagePathHidden(uint32_t pid, bool hidden = true);

 private:
  struct Proc {
    uint32_t pid;
    std::string path;
  };
  mutable std::mutex mu_;
  std::vector<Proc> table_;
  std::vector<uint32_t> terminated_;
  std::set<uint32_t> unstoppable_;
  std::set<uint32_t> hidden_;
};

}  // namespace platform::portable
