// The few system facts and objects the program needs.
#pragma once
#include <memory>
#include <optional>
#include <string>

namespace platform {

struct OsVersion {
  unsigned major = 0, minor = 0, build = 0;
  bool nt = true;
};

// A named mutex held for as long as the object lives.
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // True when another holder had created it before this one.
  virtual bool AlreadyExisted() const = 0;
};

class System {
 public:
  virtual ~System() = default;
  // Logon name of the current user (buffer of 128 characters); nullopt on failure.
  virtual std::optional<std::string> UserName() = 0;
  virtual std::string ExePath() = 0;
  virtual OsVersion Version() = 0;
  // nullptr when the system refuses the name (e.g. a backslash after an
  // optional "Global\" or "Local\"); an empty name makes an unnamed mutex.
  virtual std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name) = 0;
  // Finds a top-level window by class name and/or caption (empty = any) and
  // brings it forward (restoring it when iconic); false when there is none,
  // and when both names are empty.
  virtual bool BringWindowForward(const std::string& class_name, const std::string& caption) = 0;
};

}  // namespace platform
