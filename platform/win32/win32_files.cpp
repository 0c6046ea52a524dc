#include "platform/win32/win32_files.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {

bool Win32Files::Exists(const std::string& path) {
  return !HasNul(path) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::CopyNoOverwrite(const std::string& from, const std::string& to) {
  return !HasNul(from) && !HasNul(to) && CopyFileA(from.c_str(), to.c_str(), TRUE);
}

bool Win32Files::Move(const std::string& from, const std::string& to) {
  return !HasNul(from) && !HasNul(to) &&
         MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED);
}

bool Win32Files::Delete(const std::string& path) {
  return !HasNul(path) && DeleteFileA(path.c_str());
}

FileStamp Win32Files::Stat(const std::string& path) {
  FileStamp stamp;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (HasNul(path) || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
    return stamp;
  }
  stamp.exists = true;
  stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  stamp.mtime = int64_t((uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                        data.ftLastWriteTime.dwLowDateTime);
  return stamp;
}

std::optional<std::string> Win32Files::ReadAll(const std::string& path) {
  if (HasNul(path)) return std::nullopt;
  // Others may keep the file open for writing or even delete it meanwhile.
  Handle file(CreateFileA(path.c_str(), GENERIC_READ,
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
  if (HasNul(path) || path.empty()) return false;
  // Windows refuses to move over a read-only file, but Wine does not; the
  // user's protection holds on both.
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  std::string temp = path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++temp_counter_);
  bool written = false;
  {
    Handle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
  // ReplaceFile would fail.
  if (written && MoveFileExA(temp.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileA(temp.c_str());
  return false;
}

}  // namespace platform::win32
