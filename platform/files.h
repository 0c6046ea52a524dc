// Files by their Windows paths ("C:\Windows\list.vlt"); backends map them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t mtime = 0;  // backend's own units; only compared for equality
  bool operator==(const FileStamp&) const = default;
};

// A new file written piece by piece under a temporary name beside its
// target; Commit puts it in the target's place in one step, and one dropped
// without Commit is removed, so the target never holds half a file.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  virtual bool Write(const char* data, size_t size) = 0;
  // Closes the file and moves it over the target; false, with the target
  // as it was, when that fails.
  virtual bool Commit() = 0;
};

// An exclusive lock on a lock file, held until the object is dropped.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class Files {
 public:
  virtual ~Files() = default;
  virtual bool Exists(const std::string& path) = 0;
  // Fails when the target already exists.
  virtual bool CopyNoOverwrite(const std::string& from, const std::string& to) = 0;
  virtual bool Move(const std::string& from, const std::string& to) = 0;
  virtual bool Delete(const std::string& path) = 0;
  virtual FileStamp Stat(const std::string& path) = 0;
  // Whole file, byte for byte; nullopt when it is missing or cannot be read.
  virtual std::optional<std::string> ReadAll(const std::string& path) = 0;
  // Crash-safe rewrite: a temporary file in the same folder, then replace.
  // Creates the file when missing; false when it cannot be written.
  virtual bool Replace(const std::string& path, const std::string& bytes) = 0;
  // Starts a new file for path (see FileWriter); nullptr when it cannot be
  // created there. Stores without piecewise writing create nothing.
  virtual std::unique_ptr<FileWriter> OpenWriter(const std::string& path) { return nullptr; }
  // Takes the exclusive lock on the file at path, which every process that
  // locks the same file shares, creating the file when it is missing; waits
  // at most wait_ms for another holder to let go. nullptr when the lock
  // cannot be had. Each call is a holder of its own, even in one process.
  virtual std::unique_ptr<FileLock> Lock(const std::string& path, int wait_ms) = 0;
  // Text in the system's ANSI code page, as files written before UTF-8 hold
  // it, turned into UTF-8.
  virtual std::string AnsiToUtf8(std::string_view bytes) = 0;
};

}  // namespace platform
