// Real files under a host folder that stands in for drive C:.
//
// "C:\Windows\list.vlt" is <root>/Windows/list.vlt. Drive letters are matched
// without regard to case; other drives are refused unless MapDrive gave them
// a folder. Each path component is matched against the existing entries
// without regard to case, so "c:\windows\X" finds "Windows/X" as it would on
// Windows; new entries take the spelling given. "." and ".." are resolved the
// way Windows does, never climbing above the drive's folder, and names with
// characters Windows refuses (<>:"|?* and control characters) are refused.
#pragma once
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/files.h"

namespace platform::portable {

struct FolderWatches;

class PortableFiles : public Files {
 public:
  explicit PortableFiles(std::filesystem::path c_drive);

  bool Exists(const std::string& path) override;
  // An open stream on the file that path leads to, every symbolic link on
  // the way followed (as Windows follows a junction); its final path is
  // where that file lies, and its deletion refuses once another file lies
  // there.
  std::unique_ptr<HeldFile> Hold(const std::string& path) override;
  // A folder on the way to the target that is a symbolic link is a reparse
  // point.
  MoveStatus Move(const std::string& from, const std::string& to) override;
  bool Delete(const std::string& path) override;
  FileStamp Stat(const std::string& path) override;
  std::optional<std::string> ReadAll(const std::string& path) override;
  bool Replace(const std::string& path, const std::string& bytes) override;
  // A read-only target or folder refuses; SetRenameFails makes Commit fail.
  std::unique_ptr<FileWriter> OpenWriter(const std::string& path) override;
  // flock on the host (LockFile on Windows hosts), so that it excludes other
  // processes too; a missing file in a read-only folder refuses.
  std::unique_ptr<FileLock> Lock(const std::string& path, int wait_ms) override;
  // In the code page SetAnsiCodePage chose, 1252 until then.
  std::string AnsiToUtf8(std::string_view bytes) override;
  // Sorted by name.
  FolderList ListFiles(const std::string& folder) override;
  // A symbolic link to a folder stands for a junction and is left out.
  FolderList ListFolders(const std::string& folder) override;
  bool MakeFolder(const std::string& path) override;
  // Sees the changes this object makes, no others: each one directly in the
  // folder wakes the watch. Once the folder is removed or moved away the
  // watch reports Changed once, then Failed.
  std::unique_ptr<ChangeWatch> WatchFolder(const std::string& folder) override;
  std::unique_ptr<ChangeWaiter> NewWaiter() override;

  // Folders made and removed the way the watches see; RemoveFolder takes
  // only an empty one.
  bool CreateFolder(const std::string& path);
  bool RemoveFolder(const std::string& path);

  // Gives another drive letter a host folder.
  void MapDrive(char letter, std::filesystem::path folder);
  // Where a Windows path lives on the host; nullopt when it is refused.
  std::optional<std::filesystem::path> HostPath(const std::string& path) const;

  // Tests run as root, where permissions stop nothing; these do instead.
  // A read-only file cannot be replaced, moved, deleted or copied over; in a
  // read-only folder nothing below it can be created, changed or removed.
  bool SetReadOnly(const std::string& path, bool read_only = true);
  // Makes the final rename of Replace and Move fail, as a file held open by
  // another program would on Windows.
  void SetRenameFails(bool fails) { rename_fails_ = fails; }
  // The folder cannot be listed, as one whose access list denies it.
  void DenyListing(const std::string& folder);
  // The system's ANSI code page, as platform/code_page.h knows them.
  void SetAnsiCodePage(unsigned code_page) { code_page_ = code_page; }

 private:
  class Held;
  // The files, or the folders, directly in folder.
  FolderList List(const std::string& folder, bool folders);
  struct Mapped {
    std::filesystem::path drive;  // the drive's host folder
    std::filesystem::path host;
    std::string key;  // the path folded to one case, to compare Windows paths
  };
  std::optional<Mapped> Map(const std::string& path) const;
  // The Windows path of a host path with no links on it; nullopt outside
  // every drive's folder.
  std::optional<std::string> WindowsPath(const std::filesystem::path& host) const;
  bool Writable(const Mapped& m) const;
  std::filesystem::path TempNameBeside(const std::filesystem::path& target);
  // Wakes the watches of the folder that holds the entry at key (a Mapped key).
  void Changed(const std::string& key);
  // The folder at key is no more: its own watches report it and end.
  void FolderGone(const std::string& key);

  mutable std::mutex mu_;
  std::map<char, std::filesystem::path> drives_;
  std::set<std::string> read_only_;
  std::set<std::string> unlistable_;
  std::atomic<bool> rename_fails_{false};
  // Where Stat last found each path: reads ask for the stamp every time, and
  // resolving a path case-insensitively costs a look at every folder on it.
  std::map<std::string, std::filesystem::path> stat_hint_;
  std::atomic<unsigned> temp_counter_{0};
  std::atomic<unsigned> code_page_{1252};
  std::shared_ptr<FolderWatches> watches_;
};

}  // namespace platform::portable
