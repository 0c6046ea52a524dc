// Windows' own folders as the system calls give them, and whether this
// 32-bit program runs on 64-bit Windows. Only for the backend's .cpp files.
#pragma once
#include <windows.h>

#include <string>

namespace platform::win32 {

// A folder that a call fills in (GetSystemDirectoryW and its kind), however
// long it is; empty when the call fails.
template <typename Get>
std::wstring FolderFrom(Get get) {
  std::wstring folder(MAX_PATH, L'\0');
  UINT n = get(folder.data(), UINT(folder.size()));
  if (n >= folder.size()) {
    folder.resize(n);
    n = get(folder.data(), UINT(folder.size()));
  }
  folder.resize(n < folder.size() ? n : 0);
  return folder;
}

inline bool Wow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace platform::win32
