// A 32-bit program on 64-bit Windows has its file names under
// C:\Windows\System32 sent to C:\Windows\SysWOW64, where the 32-bit
// namesakes of Windows' programs lie. The paths this program acts on are the
// ones other programs see (process paths are native), so file calls on
// them run with that redirection off. Only for the calls themselves: it
// also redirects the system's own loading of DLLs. Only for the backend's
// .cpp files.
#pragma once
#include <windows.h>

namespace platform::win32 {

class NativeFileNames {
 public:
  // Fails, harmlessly, outside WOW64.
  NativeFileNames() : off_(Wow64DisableWow64FsRedirection(&old_)) {}
  ~NativeFileNames() {
    if (off_) Wow64RevertWow64FsRedirection(old_);
  }
  NativeFileNames(const NativeFileNames&) = delete;
  NativeFileNames& operator=(const NativeFileNames&) = delete;

 private:
  PVOID old_ = nullptr;
  bool off_;
};

}  // namespace platform::win32
