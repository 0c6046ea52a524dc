// Running processes: ids, full image paths, a snapshot of exe names, stopping.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  uint32_t pid = 0;
  std::string exe_name;  // file name only, as a process snapshot reports it
};

// A process this program has stopped, held until it is gone.
class StoppedProcess {
 public:
  enum class State { Ended, Pending, GaveUp };
  virtual ~StoppedProcess() = default;
  // Waits a little for the process to be gone, and less when the thread has
  // window messages waiting, so that the caller can let them run between
  // calls. GaveUp once it has not gone for some seconds.
  virtual State WaitForEnd() = 0;
};

enum class StopStatus {
  Stopped,   // terminated; StopResult::stopped tells when it is gone
  NotIt,     // gone already, or its id now belongs to another program
  Critical,  // Windows marks it critical: never stopped
  Failed,    // could not be opened, inspected or terminated
};

struct StopResult {
  StopStatus status = StopStatus::Failed;
  std::unique_ptr<StoppedProcess> stopped;  // set when Stopped
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Process ids in the system's order, at most max_count of them (EnumProcesses).
  virtual std::vector<uint32_t> EnumerateIds(size_t max_count) = 0;
  // Full path of the process's executable, however long; nullopt when it
  // cannot be read.
  virtual std::optional<std::string> ImagePath(uint32_t pid) = 0;
  // Snapshot of all processes (CreateToolhelp32Snapshot).
  virtual std::vector<ProcessEntry> Snapshot() = 0;
  // Opens the process once, reads its image path on that handle and
  // terminates it through the same handle only when is_it accepts the path
  // and Windows does not mark it critical: an id that another program got
  // meanwhile is never hit. Never stops pid 0 or this process.
  virtual StopResult Stop(uint32_t pid, const std::function<bool(const std::string& path)>& is_it) = 0;
  // Whether Windows marks the process critical (its end would stop the
  // system); false when it cannot tell.
  virtual bool IsCritical(uint32_t pid) = 0;
  // The Windows folder ("C:\Windows"), without a trailing backslash.
  virtual std::string WindowsFolder() = 0;
  // The system folder ("C:\Windows\system32"), as Windows names it also to
  // a 32-bit program on 64-bit Windows; without a trailing backslash.
  virtual std::string SystemFolder() = 0;
  // Windows is 64-bit: its SysWOW64 folder holds the 32-bit programs of the
  // system folder.
  virtual bool Is64BitWindows() = 0;
};

}  // namespace platform
