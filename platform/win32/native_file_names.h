// A 32-bit program on 64-bit Windows has its file names under
// C:\Windows\System32 sent to C:\Windows\SysWOW64, where the 32-bit
// namesakes of Windows' programs lie. The paths this program acts on are the
// ones other programs see (process paths are native), so file calls on
// them run with that redirection off. Only for the calls themselves: it
// also redirects the system's own loading of DLLs. Only for the backend's
// .cpp files.
#pragma once
#include <windows.h>

#include <utility>

#include "platform/win32/win32_handles.h"

namespace platform::win32 {

class NativeFileNames {
 public:
  NativeFileNames() {
    static const auto functions = [] {
      HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
      // Absent where there is no WOW64 (32-bit Windows before XP SP2).
      return std::pair{Bind<BOOL(WINAPI*)(PVOID*)>(kernel, "Wow64DisableWow64FsRedirection"),
                       Bind<BOOL(WINAPI*)(PVOID)>(kernel, "Wow64RevertWow64FsRedirection")};
    }();
    revert_ = functions.second;
    // Fails, harmlessly, outside WOW64.
    off_ = functions.first && revert_ && functions.first(&old_);
  }
  ~NativeFileNames() {
    if (off_) revert_(old_);
  }
  NativeFileNames(const NativeFileNames&) = delete;
  NativeFileNames& operator=(const NativeFileNames&) = delete;

 private:
  BOOL(WINAPI* revert_)(PVOID) = nullptr;
  PVOID old_ = nullptr;
  bool off_ = false;
};

}  // namespace platform::win32
