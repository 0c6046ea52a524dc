// Running processes through PSAPI and the ToolHelp snapshot. Both are bound
// by name at first use, so the program still starts where one is missing;
// the calls that need it then find nothing.
#pragma once
#include "platform/processes.h"

namespace platform::win32 {

class Win32Processes : public Processes {
 public:
  std::vector<uint32_t> EnumerateIds(size_t max_count) override;
  std::optional<std::string> ImagePath(uint32_t pid) override;
  std::vector<ProcessEntry> Snapshot() override;
  // Refuses pid 0 and this process itself. Returns once the process has
  // ended (or after a few seconds).
  bool Terminate(uint32_t pid) override;
};

}  // namespace platform::win32
