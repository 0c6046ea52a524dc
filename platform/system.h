// The few system facts and objects the program needs.
#pragma once
#include <memory>
#include <optional>
#include <string>

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
  // optional "Global\" or "Local\"); an empty name makes an unnamed mutex.
  // With initial_owner the creator owns it, unless it existed already.
  virtual std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name, bool initial_owner = false) = 0;
  // Finds a top-level window of another program by class name and/or
  // caption (empty = any) and brings it forward (restoring it when iconic);
  // with a message name, also posts that registered message to it, which
  // the window is allowed to answer by taking the foreground. False when
  // there is none, and when both names are empty.
  virtual bool BringWindowForward(const std::string& class_name, const std::string& caption,
                                  const std::string& message = {}) = 0;

  // This program runs with the full rights an administrator gave at a
  // consent prompt. A program that asks for them is not started from the
  // Run key at log-on (user account control would have to ask first).
  virtual bool RunsElevated() = 0;
  // The process has an administrator's rights: its token is elevated, or it
  // is an administrator's where user account control does not split tokens.
  virtual bool HasAdminRights() = 0;
  // A task of the Task Scheduler that starts program at the current user's
  // log-on with the highest rights the user has; replaces one of that name.
  // False when the scheduler refused it.
  virtual bool SetLogonTask(const std::string& name, const std::string& program) = 0;
  // True when no task of that name is left, also when there was none.
  virtual bool RemoveLogonTask(const std::string& name) = 0;
};

}  // namespace platform
