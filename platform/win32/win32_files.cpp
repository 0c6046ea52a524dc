#include "platform/win32/win32_files.h"

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

#include "platform/win32/native_file_names.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_wait.h"

#include <sddl.h>

namespace platform::win32 {

namespace {
// About a second of trying to replace a file that is being read.
constexpr int kReplaceAttempts = 100;
}  // namespace

bool Win32Files::Exists(const std::string& path) {
  NativeFileNames native;
  auto w = NameArg(path);
  return w && GetFileAttributesW(w->c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// GetFinalPathNameByHandle's answer as other calls name the place:
// "\\?\C:\x" is "C:\x", "\\?\UNC\server\share" is "\\server\share".
std::optional<std::wstring> FinalPathOf(HANDLE handle) {
  constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  DWORD size = GetFinalPathNameByHandleW(handle, nullptr, 0, kFlags);
  if (size == 0) return std::nullopt;
  std::wstring path(size, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, path.data(), size, kFlags);
  if (length == 0 || length >= size) return std::nullopt;
  path.resize(length);
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// The same name to the file system, which folds case as Windows does.
bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

bool MarkDeleted(HANDLE file) {
  FILE_DISPOSITION_INFO deleted{TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &deleted, sizeof deleted);
}

bool CopyContents(HANDLE from, HANDLE to) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return false;
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    DWORD got = 0, wrote = 0;
    if (!ReadFile(from, chunk.data(), DWORD(chunk.size()), &got, nullptr)) return false;
    if (got == 0) return true;
    if (!WriteFile(to, chunk.data(), got, &wrote, nullptr) || wrote != got) return false;
  }
}

class Win32HeldFile : public HeldFile {
 public:
  explicit Win32HeldFile(Handle file) : file_(std::move(file)) {}

  std::optional<std::string> FinalPath() override {
    std::optional<std::wstring> path = FinalPathOf(file_.get());
    if (!path) return std::nullopt;
    return Utf8(*path);
  }

  bool CopyToNew(const std::string& to) override {
    NativeFileNames native;
    auto t = NameArg(to);
    if (!t) return false;
    Handle copy(CreateFileW(t->c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy) return false;
    FILETIME written;
    if (CopyContents(file_.get(), copy.get()) && GetFileTime(file_.get(), nullptr, nullptr, &written) &&
        SetFileTime(copy.get(), nullptr, nullptr, &written)) {
      return true;
    }
    MarkDeleted(copy.get());
    return false;
  }

  bool Delete() override { return MarkDeleted(file_.get()); }

 private:
  Handle file_;
};

// Holds every folder below the drive (or share) of path down to its own
// folder. ThroughReparsePoint when one is a reparse point or leads
// elsewhere: Wine follows a Unix symbolic link even when asked to open the
// link itself, and only the final path shows it.
MoveStatus HoldFoldersOf(const std::wstring& path, std::vector<Handle>& held) {
  size_t start = 0;
  if (path.size() > 3 && path[1] == L':' && path[2] == L'\\') {
    start = 3;
  } else if (path.rfind(L"\\\\", 0) == 0) {
    size_t share = path.find(L'\\', 2);
    start = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
    if (start == std::wstring::npos) return MoveStatus::Failed;
    ++start;
  } else {
    return MoveStatus::Failed;
  }
  for (size_t cut = path.find(L'\\', start); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1)) {
    const std::wstring folder = path.substr(0, cut);
    // Read access, so that the missing FILE_SHARE_DELETE binds others.
    Handle handle(CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return MoveStatus::Failed;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return MoveStatus::ThroughReparsePoint;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return MoveStatus::Failed;
    std::optional<std::wstring> real = FinalPathOf(handle.get());
    if (!real || !SamePath(*real, folder)) return MoveStatus::ThroughReparsePoint;
    held.push_back(std::move(handle));
  }
  return MoveStatus::Moved;
}

// The full path, with "." and ".." resolved and "/" made "\\".
std::optional<std::wstring> FullPath(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::nullopt;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::nullopt;
  full.resize(length);
  return full;
}

}  // namespace

std::unique_ptr<HeldFile> Win32Files::Hold(const std::string& path) {
  NativeFileNames native;
  auto w = NameArg(path);
  if (!w) return nullptr;
  Handle file(CreateFileW(w->c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  return std::make_unique<Win32HeldFile>(std::move(file));
}

MoveStatus Win32Files::Move(const std::string& from, const std::string& to) {
  NativeFileNames native;
  auto f = NameArg(from), t = NameArg(to);
  std::optional<std::wstring> target = t ? FullPath(*t) : std::nullopt;
  if (!f || !target) return MoveStatus::Failed;
  std::vector<Handle> folders;
  const MoveStatus way = HoldFoldersOf(*target, folders);
  if (way != MoveStatus::Moved) return way;
  // Without MOVEFILE_REPLACE_EXISTING: never over another file.
  return MoveFileExW(f->c_str(), target->c_str(), MOVEFILE_COPY_ALLOWED) ? MoveStatus::Moved : MoveStatus::Failed;
}

bool Win32Files::Delete(const std::string& path) {
  NativeFileNames native;
  auto w = NameArg(path);
  return w && DeleteFileW(w->c_str());
}

FileStamp Win32Files::Stat(const std::string& path) {
  NativeFileNames native;
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  auto w = NameArg(path);
  if (!w || !GetFileAttributesExW(w->c_str(), GetFileExInfoStandard, &data)) {
    return stamp;
  }
  stamp.exists = true;
  stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.mtime = int64_t((uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

std::optional<std::string> Win32Files::ReadAll(const std::string& path) {
  NativeFileNames native;
  auto w = NameArg(path);
  if (!w) return std::nullopt;
  // Others may keep the file open for writing or even delete it meanwhile.
  Handle file(CreateFileW(w->c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  try {
    std::string data;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
        uint64_t(size.QuadPart) < data.max_size()) {
      data.reserve(size_t(size.QuadPart));
    }
    // Read to the end rather than trust the size: the file may change.
    std::vector<char> chunk(64 * 1024);
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file.get(), chunk.data(), DWORD(chunk.size()), &got, nullptr)) {
        return std::nullopt;
      }
      if (got == 0) break;
      data.append(chunk.data(), got);
    }
    return data;
  } catch (const std::bad_alloc&) {
    return std::nullopt;  // bigger than this process can hold
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

bool Win32Files::Replace(const std::string& path, const std::string& bytes) {
  NativeFileNames native;
  auto target = NameArg(path);
  if (!target || path.empty()) return false;
  // Windows refuses to move over a read-only file, but Wine does not; the
  // user's protection holds on both.
  DWORD attributes = GetFileAttributesW(target->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  std::wstring temp = *target + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++temp_counter_);
  bool written = false;
  {
    Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;  // no folder, no rights: nothing was created
    written = true;
    size_t done = 0;
    while (written && done < bytes.size()) {
      DWORD part = DWORD(std::min<size_t>(bytes.size() - done, 1u << 20));
      DWORD wrote = 0;
      written = WriteFile(file.get(), bytes.data() + done, part, &wrote, nullptr) && wrote == part;
      done += wrote;
    }
    written = written && FlushFileBuffers(file.get());
  }
  // MoveFileEx also handles a target that does not exist yet, where
  // ReplaceFile would fail. Windows refuses to replace a file that someone
  // reads at that moment (another copy of the program, a virus scanner):
  // such a reader is done soon, so it is tried again for a while.
  for (int attempt = 0; written; ++attempt) {
    if (MoveFileExW(temp.c_str(), target->c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == kReplaceAttempts) break;
    Sleep(10);
  }
  DeleteFileW(temp.c_str());
  return false;
}

namespace {

class Win32FileLock : public FileLock {
 public:
  explicit Win32FileLock(Handle file) : file_(std::move(file)) {}
  ~Win32FileLock() override {
    OVERLAPPED at = {};
    UnlockFileEx(file_.get(), 0, 1, 0, &at);
  }

 private:
  Handle file_;
};

}  // namespace

std::unique_ptr<FileLock> Win32Files::Lock(const std::string& path, int wait_ms) {
  NativeFileNames native;
  auto w = NameArg(path);
  if (!w) return nullptr;
  // Full access for the system and administrators, none for anyone else.
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1,
                                                            &security.lpSecurityDescriptor, nullptr))
    return nullptr;
  const LocalMemory<void*> descriptor(security.lpSecurityDescriptor);
  // No FILE_SHARE_DELETE: the file stays while anyone holds it.
  Handle file(CreateFileW(w->c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  // A waiting LockFileEx has no time limit: ask without waiting until the time is up.
  const ULONGLONG deadline = GetTickCount64() + ULONGLONG(wait_ms > 0 ? wait_ms : 0);
  for (;;) {
    OVERLAPPED at = {};
    if (LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
      return std::make_unique<Win32FileLock>(std::move(file));
    if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount64() >= deadline) return nullptr;
    Sleep(2);
  }
}

std::string Win32Files::AnsiToUtf8(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > size_t(INT_MAX)) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), wide.data(), n);
  return Utf8(wide);
}

namespace {

// "C:\\Folder\\" + name, never with two backslashes between them.
std::wstring InFolder(const std::wstring& folder, const wchar_t* name) {
  return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

namespace {

// The folder's entries that keep(attributes) accepts, "." and ".." left out.
template <typename Keep>
FolderList ListEntries(const std::string& folder, Keep keep) {
  NativeFileNames native;
  FolderList list;
  auto w = NameArg(folder);
  if (!w || w->empty()) return list;
  WIN32_FIND_DATAW found;
  HANDLE first = FindFirstFileExW(InFolder(*w, L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) {
    // Nothing matched in a folder that is there: an empty drive's root,
    // which has no "." and "..".
    const DWORD error = GetLastError();
    if (!IsFolder(*w))
      list.status = ListStatus::Missing;
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
      list.status = ListStatus::Listed;
    return list;
  }
  const FindHandle find(first);
  do {
    const std::wstring_view name(found.cFileName);
    if (name != L"." && name != L".." && keep(found.dwFileAttributes)) list.names.push_back(Utf8(name));
  } while (FindNextFileW(find.get(), &found));
  const DWORD error = GetLastError();
  // A listing cut short is no listing: a file missing from it would look deleted.
  if (error == ERROR_NO_MORE_FILES) {
    list.status = ListStatus::Listed;
  } else {
    list.names.clear();
  }
  return list;
}

bool IsPlainFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

FolderList Win32Files::ListFiles(const std::string& folder) {
  return ListEntries(folder, [](DWORD attributes) { return !(attributes & FILE_ATTRIBUTE_DIRECTORY); });
}

FolderList Win32Files::ListFolders(const std::string& folder) { return ListEntries(folder, IsPlainFolder); }

bool Win32Files::MakeFolder(const std::string& path) {
  NativeFileNames native;
  auto w = NameArg(path);
  if (!w || w->empty()) return false;
  if (!CreateDirectoryW(w->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  // What is there now, made by us or before: a link to a folder is no folder of ours.
  return IsPlainFolder(GetFileAttributesW(w->c_str()));
}

namespace {

class FolderWatch : public SignalledWatch {
 public:
  explicit FolderWatch(HANDLE change) : change_(change) {}
  ~FolderWatch() override {
    if (change_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change_);
  }
  bool Ready() const { return change_ != INVALID_HANDLE_VALUE && CanCancel(); }

 private:
  HANDLE Changed() const override { return change_; }
  bool Arm() override { return FindNextChangeNotification(change_) != FALSE; }

  HANDLE change_;
};

}  // namespace

std::unique_ptr<ChangeWatch> Win32Files::WatchFolder(const std::string& folder) {
  NativeFileNames native;
  auto w = NameArg(folder);
  if (!w || w->empty()) return nullptr;
  auto watch = std::make_unique<FolderWatch>(FindFirstChangeNotificationW(
      w->c_str(), FALSE,
      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
          FILE_NOTIFY_CHANGE_SIZE));
  if (!watch->Ready()) return nullptr;
  return watch;
}

std::unique_ptr<ChangeWaiter> Win32Files::NewWaiter() { return NewSignalledWaiter(); }

}  // namespace platform::win32
