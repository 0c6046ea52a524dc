// Running processes: ids, full image paths, a snapshot of exe names, stopping.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  uint32_t pid = 0;
  std::string exe_name;  // file name only, as a process snapshot reports it
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Process ids in the system's order, at most max_count of them (EnumProcesses).
  virtual std::vector<uint32_t> EnumerateIds(size_t max_count) = 0;
  // Full path of the process's executable; nullopt when it cannot be read.
  virtual std::optional<std::string> ImagePath(uint32_t pid) = 0;
  // Snapshot of all processes (CreateToolhelp32Snapshot).
  virtual std::vector<ProcessEntry> Snapshot() = 0;
  virtual bool Terminate(uint32_t pid) = 0;
};

}  // namespace platform
