// Files by their Windows paths, through the wide functions, named as other
// programs name them (no WOW64 file-system redirection).
#pragma once
#include <atomic>

#include "platform/files.h"

namespace platform::win32 {

class Win32Files : public Files {
 public:
  bool Exists(const std::string& path) override;
  // Read and delete access; others may read it meanwhile, never write.
  std::unique_ptr<HeldFile> Hold(const std::string& path) override;
  // Every folder below the target's drive is opened, as itself rather than
  // what it may point to, and held without FILE_SHARE_DELETE until the file
  // is there, so none can be renamed or replaced meanwhile.
  MoveStatus Move(const std::string& from, const std::string& to) override;
  bool Delete(const std::string& path) override;
  // mtime is the last write time in 100 ns units (FILETIME).
  FileStamp Stat(const std::string& path) override;
  std::optional<std::string> ReadAll(const std::string& path) override;
  // Writes "<path>.tmp-<pid>-<n>", flushes it to disk and moves it over the
  // target in one step, so a crash leaves either the old or the new file.
  bool Replace(const std::string& path, const std::string& bytes) override;
  // Wide calls; see win32_file_writer.cpp.
  std::unique_ptr<FileWriter> OpenWriter(const std::string& path) override;
  // LockFileEx on the file's first byte. A new lock file is for the system
  // and administrators only, so that no program of the person can hold it.
  std::unique_ptr<FileLock> Lock(const std::string& path, int wait_ms) override;
  std::string AnsiToUtf8(std::string_view bytes) override;
  // FindFirstFileExW over the folder.
  FolderList ListFiles(const std::string& folder) override;
  FolderList ListFolders(const std::string& folder) override;
  bool MakeFolder(const std::string& path) override;
  // FindFirstChangeNotificationW on the folder alone, not its sub-folders.
  std::unique_ptr<ChangeWatch> WatchFolder(const std::string& folder) override;
  // Waits on registry watches as well.
  std::unique_ptr<ChangeWaiter> NewWaiter() override;

 private:
  std::atomic<unsigned> temp_counter_{0};
};

}  // namespace platform::win32
