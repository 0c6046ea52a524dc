// Files by their Windows paths ("C:\Windows\list.vlt"); backends map them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

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

// A file held open, so that it stays the file it was when opened while it
// is copied and deleted, whatever happens to its folders meanwhile.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  // Where the file really is ("C:\Apps\agent.exe"), every symbolic link,
  // junction and mount point on the way resolved; nullopt when that cannot
  // be told.
  virtual std::optional<std::string> FinalPath() = 0;
  // Copies its contents and last write time into a new file at `to`; false
  // when something is there already or the copy fails, and then nothing new
  // is left there.
  virtual bool CopyToNew(const std::string& to) = 0;
  // Deletes the file itself, wherever it is now.
  virtual bool Delete() = 0;
};

enum class MoveStatus {
  Moved,
  // A folder on the way to the target is a symbolic link, a junction or a
  // mount point, so the file might land anywhere: nothing was moved.
  ThroughReparsePoint,
  Failed,
};

// An exclusive lock on a lock file, held until the object is dropped.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

enum class ListStatus { Listed, Missing, Failed };

struct FolderList {
  ListStatus status = ListStatus::Failed;
  std::vector<std::string> names;
};

class Files {
 public:
  virtual ~Files() = default;
  virtual bool Exists(const std::string& path) = 0;
  // Opens the file for copying and deleting it; nullptr when it cannot be
  // (missing, a folder, or open for writing elsewhere).
  virtual std::unique_ptr<HeldFile> Hold(const std::string& path) = 0;
  // Never over an existing file, and only along plain folders: they are
  // held open meanwhile, so that none can be swapped for a link.
  virtual MoveStatus Move(const std::string& from, const std::string& to) = 0;
  virtual bool Delete(const std::string& path) = 0;
  virtual FileStamp Stat(const std::string& path) = 0;
  // Whole file, byte for byte; nullopt when it is missing or cannot be read.
  virtual std::optional<std::string> ReadAll(const std::string& path) = 0;
  // Crash-safe rewrite: a temporary file in the same folder, then replace.
  // Creates the file when missing; false when it cannot be written.
  virtual bool Replace(const std::string& path, const std::string& bytes) = 0;
  // Starts a new file for path (see FileWriter); nullptr when it cannot be
  // created there, or when path names something other than a plain file (a
  // folder, a link). The temporary file is always new: whatever already has
  // its name is never opened. Stores without piecewise writing create
  // nothing.
  virtual std::unique_ptr<FileWriter> OpenWriter(const std::string& path) { return nullptr; }
  // Takes the exclusive lock on the file at path, which every process that
  // locks the same file shares, creating the file when it is missing; waits
  // at most wait_ms for another holder to let go. nullptr when the lock
  // cannot be had. Each call is a holder of its own, even in one process.
  virtual std::unique_ptr<FileLock> Lock(const std::string& path, int wait_ms) = 0;
  // Text in the system's ANSI code page, as files written before UTF-8 hold
  // it, turned into UTF-8.
  virtual std::string AnsiToUtf8(std::string_view bytes) = 0;
  // The names of the files directly in folder, hidden and system ones too;
  // folders are left out. Missing, with no names, when there is no such
  // folder.
  virtual FolderList ListFiles(const std::string& folder) = 0;
  // The names of the folders directly in folder, leaving out symbolic
  // links, junctions and mount points, which could lead anywhere.
  virtual FolderList ListFolders(const std::string& folder) = 0;
  // Creates the folder (its parent must exist); true when a plain folder is
  // there afterwards.
  virtual bool MakeFolder(const std::string& path) = 0;
  // Arms a watch on the folder: it reports Changed when a file or folder
  // directly in it is created, deleted, renamed or written. nullptr when
  // the folder cannot be watched (it is missing). Once the folder itself is
  // deleted the watch may report Changed or Failed, and then nothing more.
  virtual std::unique_ptr<ChangeWatch> WatchFolder(const std::string& folder) = 0;
  // A waiter for this store's folder watches; nullptr when there is none to give.
  virtual std::unique_ptr<ChangeWaiter> NewWaiter() = 0;
};

}  // namespace platform
