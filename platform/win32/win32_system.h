#pragma once
#include <map>
#include <mutex>

#include "platform/system.h"

namespace platform::win32 {

class Win32System : public System {
 public:
  Win32System();
  ~Win32System() override;
  Win32System(const Win32System&) = delete;
  Win32System& operator=(const Win32System&) = delete;

  std::optional<std::string> UserName() override;
  std::string ExePath() override;
  std::string ProgramFilesFolder() override;
  // nullptr when the system refuses the name. The private namespace is
  // bound to the Administrators group (Windows Vista and later; bound at
  // run time, since Wine lacks it).
  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, bool initial_owner = false,
                                               const std::string& private_namespace = {}) override;
  std::vector<uintptr_t> FindWindows(const std::string& class_name, const std::string& caption) override;
  // Compares the files' volume and file index, so that another path to the
  // same file (a hard link, a short name) counts and a copy does not.
  bool WindowOfProgram(uintptr_t window, const std::string& program) override;
  std::optional<intptr_t> SendRegisteredMessage(uintptr_t window, const std::string& message,
                                                int timeout_ms) override;
  bool BringWindowForward(uintptr_t window, const std::string& message = {}) override;
  // The token's elevation type: full, of a split administrator's token.
  bool RunsElevated() override;
  std::optional<std::string> UserSid() override;
  bool HasAdminRights() override;
  // COM for the worker thread's life.
  std::unique_ptr<ThreadScope> EnterWorkerThread() override;
  // Task Scheduler 2.0 through COM (win32_tasks.cpp), also initialised for
  // the call, as the calling thread may not have it.
  uint32_t SetLogonTask(const std::string& name, const std::string& program) override;
  uint32_t RemoveLogonTask(const std::string& name) override;

 private:
  struct PrivateNamespace;
  // Opened at first use and kept while the program runs: a namespace goes
  // with the last handle to it. nullptr where Windows offers none.
  const PrivateNamespace* OpenNamespace(const std::string& name);

  std::mutex namespaces_mutex_;
  std::map<std::string, std::unique_ptr<PrivateNamespace>> namespaces_;
};

}  // namespace platform::win32
