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
  // Gives up waiting for the end five seconds after the stop.
  StopResult Stop(uint32_t pid, const std::function<bool(const std::string&)>& is_it) override;
  // Reads the "break on termination" mark; needs query access.
  bool IsCritical(uint32_t pid) override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  bool Is64BitWindows() override;
};

}  // namespace platform::win32
