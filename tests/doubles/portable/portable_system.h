// System facts set by the test, named mutexes shared by every PortableSystem
// in the process (so two program instances can meet), and a window list.
#pragma once
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/system.h"

namespace platform::portable {

class PortableSystem : public System {
 public:
  std::optional<std::string> UserName() override;
  std::string ExePath() override;
  std::string ProgramFilesFolder() override { return program_files_; }
  // nullptr for a name the system would refuse (a backslash after an
  // optional "Global\" or "Local\"). Names are case-sensitive; an empty name
  // makes an unnamed mutex that never existed before.
  // Ownership belongs to the handle, as between two programs. A private
  // namespace is offered while the program runs elevated.
  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, bool initial_owner = false,
                                               const std::string& private_namespace = {}) override;
  // The windows are those added below, all of other programs; a window's
  // handle is its index + 1.
  std::vector<uintptr_t> FindWindows(const std::string& class_name, const std::string& caption) override;
  // Program paths compare without regard to case.
  bool WindowOfProgram(uintptr_t window, const std::string& program) override;
  // The window's on_send answers at once; 0 without one.
  std::optional<intptr_t> SendRegisteredMessage(uintptr_t window, const std::string& message,
                                                int timeout_ms) override;
  bool BringWindowForward(uintptr_t window, const std::string& message = {}) override;

  bool RunsElevated() override;
  std::optional<std::string> UserSid() override;
  bool HasAdminRights() override { return admin_; }
  // A standard user's copy: no administrator's rights.
  void SetAdminRights(bool admin) { admin_ = admin; }
  // An empty name is refused with kInvalidArgument.
  uint32_t SetLogonTask(const std::string& name, const std::string& program) override;
  uint32_t RemoveLogonTask(const std::string& name) override;
  // The real time, moved on by Advance.
  uint64_t Now() override { return System::Now() + advanced_; }
  void Advance(std::chrono::hours hours) { advanced_ += uint64_t(hours.count()) * 36000000000; }

  void SetRunsElevated(bool elevated);
  // The scheduler refuses every call with this error (a disabled service,
  // say); 0 lets it work again.
  void SetSchedulerError(uint32_t error);
  // While slow, each call of the scheduler waits (on the caller's thread)
  // until it is set back, as a first call of a session may take seconds.
  void SetSchedulerSlow(bool slow);
  // The program of the log-on task of that name, or nullopt.
  std::optional<std::string> LogonTask(const std::string& name) const;

  // nullopt makes UserName fail.
  void SetUserName(std::optional<std::string> name);
  // nullopt makes UserSid fail.
  void SetUserSid(std::optional<std::string> sid);
  void SetExePath(std::string path);
  void SetProgramFilesFolder(std::string folder) { program_files_ = std::move(folder); }

  struct Window {
    std::string class_name;
    std::string caption;
    bool iconic = false;
    std::vector<std::string> messages;  // registered messages posted to it
    std::string program;                // the file its process runs
    // What it answers a registered message sent to it.
    std::function<intptr_t(const std::string& message)> on_send;
  };
  // Top-level windows in z-order of addition; returns the new window's index.
  size_t AddWindow(Window window);
  size_t AddWindow(const std::string& class_name, const std::string& caption, bool iconic = false);
  Window GetWindow(size_t index) const;
  // Index of the window last brought forward.
  std::optional<size_t> Foreground() const;
  // Told of every registered message posted to one of the windows (another
  // copy of the program listening for it, say).
  void SetOnMessagePosted(std::function<void(const std::string& message)> handler);

 private:
  uint64_t advanced_ = 0;
  std::string program_files_ = "C:\\Program Files";
  mutable std::mutex mu_;
  std::optional<std::string> user_ = "tester";
  std::optional<std::string> sid_ = "S-1-5-21-1004336348-1177238915-682003330-1001";
  std::string exe_path_ = "C:\\Program Files\\Veltrane\\veltrane.exe";
  std::vector<Window> windows_;
  std::optional<size_t> foreground_;
  std::function<void(const std::string&)> on_message_posted_;
  bool elevated_ = false;
  bool admin_ = true;
  uint32_t scheduler_error_ = 0;
  // Its own lock: a slow call waits on it without holding mu_.
  std::mutex slow_mu_;
  std::condition_variable slow_cv_;
  bool scheduler_slow_ = false;
  void WaitWhileSlow();
  std::map<std::string, std::string> tasks_;
};

}  // namespace platform::portable
