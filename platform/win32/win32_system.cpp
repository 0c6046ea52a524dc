#include "platform/win32/win32_handles.h"

#include <cstring>
#include <cwchar>

#include "platform/win32/win32_system.h"

namespace platform::win32 {
namespace {

class Win32Mutex : public NamedMutex {
 public:
  Win32Mutex(HANDLE h, bool existed) : handle_(h), existed_(existed) {}
  bool AlreadyExisted() const override { return existed_; }

  AcquireResult Acquire(int timeout_ms) override {
    switch (WaitForSingleObject(handle_.get(), timeout_ms < 0 ? INFINITE : DWORD(timeout_ms))) {
      case WAIT_OBJECT_0: return AcquireResult::Acquired;
      case WAIT_ABANDONED: return AcquireResult::Abandoned;
      case WAIT_TIMEOUT: return AcquireResult::TimedOut;
      default: return AcquireResult::Failed;
    }
  }
  void Release() override { ReleaseMutex(handle_.get()); }

 private:
  Handle handle_;
  bool existed_;
};

struct WindowSearch {
  const wchar_t* class_name;
  const wchar_t* caption;
  HWND found;
};

// The first top-level window with that class and caption that belongs to
// another process.
BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == GetCurrentProcessId()) return TRUE;
  wchar_t text[512];
  if (search->class_name && (!GetClassNameW(hwnd, text, 512) || lstrcmpiW(text, search->class_name) != 0))
    return TRUE;
  if (search->caption) {
    // The stored caption; a hung window does not keep us waiting.
    int n = InternalGetWindowText(hwnd, text, 512);
    text[n] = 0;
    if (lstrcmpiW(text, search->caption) != 0) return TRUE;
  }
  search->found = hwnd;
  return FALSE;
}

}  // namespace

std::optional<std::string> Win32System::UserName() {
  // 128 characters hold any usual logon name; a longer one gets the size it asks for.
  std::wstring buf(128, L'\0');
  DWORD size = DWORD(buf.size());
  if (!GetUserNameW(buf.data(), &size)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buf.size() || size > 32768) {
      return std::nullopt;
    }
    buf.assign(size, L'\0');
    if (!GetUserNameW(buf.data(), &size)) return std::nullopt;
  }
  buf.resize(wcsnlen(buf.data(), buf.size()));
  if (buf.empty()) return std::nullopt;
  return Utf8(buf);
}

std::string Win32System::ProgramFilesFolder() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
    // ProgramW6432Dir exists on 64-bit Windows only, and names the native folder there.
    for (const wchar_t* value : {L"ProgramW6432Dir", L"ProgramFilesDir"}) {
      wchar_t folder[MAX_PATH + 1];
      DWORD size = sizeof folder;
      if (RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, folder, &size) != ERROR_SUCCESS) continue;
      std::string text = Utf8(folder);
      while (text.size() > 3 && text.back() == '\\') text.pop_back();
      if (!text.empty()) {
        RegCloseKey(key);
        return text;
      }
    }
    RegCloseKey(key);
  }
  return "C:\\Program Files";
}

std::string Win32System::ExePath() {
  // GetModuleFileName cuts long paths short without saying so, except by
  // filling the buffer.
  for (DWORD size = MAX_PATH + 1; size <= 32768; size *= 2) {
    std::wstring buf(size, L'\0');
    DWORD len = GetModuleFileNameW(nullptr, buf.data(), size);
    if (len == 0) return {};
    if (len < size - 1) return Utf8(buf.data(), len);
  }
  return {};
}

std::unique_ptr<NamedMutex> Win32System::CreateNamedMutex(const std::string& name, bool initial_owner) {
  auto wname = NameArg(name);
  if (!wname) return nullptr;
  // The last error is only set when the mutex existed; clear it to be sure.
  SetLastError(ERROR_SUCCESS);
  HANDLE h = CreateMutexW(nullptr, initial_owner ? TRUE : FALSE, name.empty() ? nullptr : wname->c_str());
  if (!h) return nullptr;
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  return std::make_unique<Win32Mutex>(h, existed);
}

bool Win32System::BringWindowForward(const std::string& class_name, const std::string& caption,
                                     const std::string& message) {
  auto wclass = NameArg(class_name), wcaption = NameArg(caption), wmessage = NameArg(message);
  if ((class_name.empty() && caption.empty()) || !wclass || !wcaption || !wmessage) {
    return false;
  }
  WindowSearch search{class_name.empty() ? nullptr : wclass->c_str(), caption.empty() ? nullptr : wcaption->c_str(),
                      nullptr};
  EnumWindows(MatchWindow, LPARAM(&search));
  HWND window = search.found;
  if (!window) return false;
  if (IsIconic(window))
    OpenIcon(window);
  else
    SetForegroundWindow(window);  // the system may refuse it; the window was still found
  if (!message.empty()) {
    // We were started by the user and may give the foreground away: the
    // other program may then bring its window to the front.
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    AllowSetForegroundWindow(pid);
    PostMessageW(window, RegisterWindowMessageW(wmessage->c_str()), 0, 0);
  }
  return true;
}

bool Win32System::HasAdminRights() {
  if (RunsElevated()) return true;
  // Without user account control's split tokens an administrator's token
  // holds the group as it is; a filtered one holds it for denying only,
  // which the check does not count.
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  BOOL member = FALSE;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) &&
         CheckTokenMembership(nullptr, sid, &member) && member;
}

}  // namespace platform::win32
