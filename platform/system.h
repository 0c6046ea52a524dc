// The few system facts and objects the program needs.
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class AcquireResult { Acquired, Abandoned, TimedOut, Failed };

// A handle to a named mutex, open for as long as the object lives.
// Ownership goes with the handle's holder: a second handle to the same
// mutex, as another program would hold it, does not share it.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // True when another holder had created it before this one.
  virtual bool AlreadyExisted() const = 0;
  // Takes ownership, waiting at most timeout_ms (0: only looks). Abandoned:
  // obtained from a holder that ended without releasing it.
  virtual AcquireResult Acquire(int timeout_ms) = 0;
  virtual void Release() = 0;
};

// What a worker thread was readied with, undone when this goes.
class ThreadScope {
 public:
  virtual ~ThreadScope() = default;
};

// The scheduler's answer to a name it cannot take (E_INVALIDARG).
inline constexpr uint32_t kInvalidArgument = 0x80070057;

class System {
 public:
  virtual ~System() = default;
  // Logon name of the current user (buffer of 128 characters); nullopt on failure.
  virtual std::optional<std::string> UserName() = 0;
  virtual std::string ExePath() = 0;
  // The native Program Files folder, as Windows names it (on 64-bit Windows
  // the 64-bit programs' one, also for this 32-bit program), without a
  // trailing backslash.
  virtual std::string ProgramFilesFolder() = 0;
  // nullptr when the system refuses the name (e.g. a backslash after an
  // optional "Global\" or "Local\", or another kind of object of that
  // name); an empty name makes an unnamed mutex. With initial_owner the
  // creator owns it, unless it existed already. With a private namespace,
  // the name lives in a namespace of that name that only administrators
  // can create, where Windows offers one to this program; elsewhere it is
  // the plain name.
  virtual std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, bool initial_owner = false,
                                                       const std::string& private_namespace = {}) = 0;

  // Window handles: 0 is none.
  // The top-level windows of other processes with that class name and
  // caption (empty = any), in z-order.
  virtual std::vector<uintptr_t> FindWindows(const std::string& class_name, const std::string& caption) = 0;
  // True when the process of the window runs the program file `program`:
  // the file itself, by whatever path it is named.
  virtual bool WindowOfProgram(uintptr_t window, const std::string& program) = 0;
  // Sends the registered message and waits at most timeout_ms for the
  // window's answer; nullopt when none came (a busy or vanished window, or
  // one the system would not let the message reach).
  virtual std::optional<intptr_t> SendRegisteredMessage(uintptr_t window, const std::string& message,
                                                        int timeout_ms) = 0;
  // Brings the window forward (restoring it when iconic); with a message
  // name, also posts that registered message to it, which the window is
  // allowed to answer by taking the foreground. False when it is gone.
  virtual bool BringWindowForward(uintptr_t window, const std::string& message = {}) = 0;

  // This program runs with the full rights an administrator gave at a
  // consent prompt. A program that asks for them is not started from the
  // Run key at log-on (user account control would have to ask first).
  virtual bool RunsElevated() = 0;
  // The current user's security identifier as text ("S-1-5-21-..."), which
  // tells apart two accounts of one name (a local one and a domain one);
  // nullopt on failure.
  virtual std::optional<std::string> UserSid() = 0;
  // The process has an administrator's rights: its token is elevated, or it
  // is an administrator's where user account control does not split tokens.
  virtual bool HasAdminRights() = 0;
  // The Task Scheduler is slow to answer (a second and more): its calls
  // belong on a worker thread, one the program keeps for them, which is
  // readied here for their needs (COM, on Windows) until the returned
  // object goes, on that same thread.
  virtual std::unique_ptr<ThreadScope> EnterWorkerThread() { return nullptr; }
  // A task of the Task Scheduler that starts program at the current user's
  // log-on with the highest rights the user has; replaces one of that name.
  // 0, or the scheduler's error (an HRESULT) when it refused.
  virtual uint32_t SetLogonTask(const std::string& name, const std::string& program) = 0;
  // 0 when no task of that name is left, also when there was none;
  // otherwise the scheduler's error (an HRESULT).
  virtual uint32_t RemoveLogonTask(const std::string& name) = 0;
  // The time now as a FILETIME: 100 ns since 1601, in UTC.
  virtual uint64_t Now() {
    constexpr uint64_t kFrom1601To1970 = 116444736000000000;
    const auto since_1970 = std::chrono::system_clock::now().time_since_epoch();
    return kFrom1601To1970 + uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(since_1970).count() / 100);
  }
};

}  // namespace platform
