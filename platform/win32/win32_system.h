#pragma once
#include "platform/system.h"

namespace platform::win32 {

class Win32System : public System {
 public:
  std::optional<std::string> UserName() override;
  std::string ExePath() override;
  std::string ProgramFilesFolder() override;
  // nullptr when the system refuses the name.
  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, bool initial_owner = false) override;
  // Both names empty is refused rather than raising an arbitrary window.
  bool BringWindowForward(const std::string& class_name, const std::string& caption,
                          const std::string& message = {}) override;
  // The token's elevation type: full, of a split administrator's token.
  bool RunsElevated() override;
  bool HasAdminRights() override;
  // Task Scheduler 2.0 through COM (win32_tasks.cpp), initialised for the call.
  bool SetLogonTask(const std::string& name, const std::string& program) override;
  bool RemoveLogonTask(const std::string& name) override;
};

}  // namespace platform::win32
