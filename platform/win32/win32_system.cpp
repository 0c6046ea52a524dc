#include "platform/win32/win32_handles.h"

#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/win32_system.h"

namespace platform::win32 {
namespace {

class Win32Mutex : public NamedMutex {
 public:
  Win32Mutex(Handle h, bool existed) : handle_(std::move(h)), existed_(existed) {}
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
  std::vector<uintptr_t> found;
};

// Every top-level window with that class and caption that belongs to
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
  search->found.push_back(uintptr_t(hwnd));
  return TRUE;
}

// Volume and index: what names one file, whatever path leads to it.
std::optional<std::tuple<DWORD, DWORD, DWORD>> FileIdentity(const wchar_t* path) {
  Handle file(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return std::make_tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
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
  KeyHandle key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.out()) == ERROR_SUCCESS) {
    // ProgramW6432Dir exists on 64-bit Windows only, and names the native folder there.
    for (const wchar_t* value : {L"ProgramW6432Dir", L"ProgramFilesDir"}) {
      wchar_t folder[MAX_PATH + 1];
      DWORD size = sizeof folder;
      if (RegGetValueW(key.get(), nullptr, value, RRF_RT_REG_SZ, nullptr, folder, &size) != ERROR_SUCCESS) continue;
      std::string text = Utf8(folder);
      while (text.size() > 3 && text.back() == '\\') text.pop_back();
      if (!text.empty()) return text;
    }
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

struct Win32System::PrivateNamespace {
  using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
  using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
  using DeleteBoundaryFn = VOID(WINAPI*)(HANDLE);
  using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
  using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
  using CloseNamespaceFn = BOOLEAN(WINAPI*)(HANDLE, ULONG);

  std::wstring alias;
  HANDLE boundary = nullptr;
  HANDLE handle = nullptr;
  DeleteBoundaryFn delete_boundary = nullptr;
  CloseNamespaceFn close = nullptr;

  ~PrivateNamespace() {
    if (handle) close(handle, 0);
    if (boundary) delete_boundary(boundary);
  }

  // Only a program whose token holds the Administrators group (elevated)
  // is inside the boundary, so nothing else can create the namespace first.
  bool Open() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto create_boundary = Bind<CreateBoundaryFn>(kernel, "CreateBoundaryDescriptorW");
    auto add_sid = Bind<AddSidFn>(kernel, "AddSIDToBoundaryDescriptor");
    auto create = Bind<CreateNamespaceFn>(kernel, "CreatePrivateNamespaceW");
    auto open = Bind<OpenNamespaceFn>(kernel, "OpenPrivateNamespaceW");
    delete_boundary = Bind<DeleteBoundaryFn>(kernel, "DeleteBoundaryDescriptor");
    close = Bind<CloseNamespaceFn>(kernel, "ClosePrivateNamespace");
    if (!create_boundary || !add_sid || !create || !open || !delete_boundary || !close) return false;

    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof admins;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &sid_size)) return false;
    boundary = create_boundary(alias.c_str(), 0);
    if (!boundary || !add_sid(&boundary, admins)) return false;
    // Administrators and the system only may open it.
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;BA)(A;;GA;;;SY)", SDDL_REVISION_1, &made,
                                                              nullptr))
      return false;
    const LocalMemory<PSECURITY_DESCRIPTOR> sd(made);
    SECURITY_ATTRIBUTES sa{sizeof sa, sd.get(), FALSE};
    handle = create(&sa, boundary, alias.c_str());
    if (!handle && GetLastError() == ERROR_ALREADY_EXISTS) handle = open(boundary, alias.c_str());
    return handle != nullptr;
  }
};

Win32System::Win32System() = default;
Win32System::~Win32System() = default;

const Win32System::PrivateNamespace* Win32System::OpenNamespace(const std::string& name) {
  std::lock_guard lock(namespaces_mutex_);
  auto it = namespaces_.find(name);
  if (it == namespaces_.end()) {
    std::unique_ptr<PrivateNamespace> space;
    // A backslash would end the alias early.
    if (auto alias = NameArg(name); alias && alias->find(L'\\') == std::wstring::npos) {
      space = std::make_unique<PrivateNamespace>();
      space->alias = *alias;
      if (!space->Open()) space.reset();
    }
    it = namespaces_.emplace(name, std::move(space)).first;
  }
  return it->second.get();
}

std::unique_ptr<NamedMutex> Win32System::CreateNamedMutex(const std::string& name, bool initial_owner,
                                                          const std::string& private_namespace) {
  auto wname = NameArg(name);
  if (!wname) return nullptr;
  auto create = [&](const std::wstring& full_name) -> std::unique_ptr<NamedMutex> {
    // The last error is only set when the mutex existed; clear it to be sure.
    SetLastError(ERROR_SUCCESS);
    Handle h(CreateMutexW(nullptr, initial_owner ? TRUE : FALSE, full_name.empty() ? nullptr : full_name.c_str()));
    if (!h) return nullptr;
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    return std::make_unique<Win32Mutex>(std::move(h), existed);
  };
  if (!private_namespace.empty() && !name.empty()) {
    if (const PrivateNamespace* space = OpenNamespace(private_namespace)) {
      if (auto mutex = create(space->alias + L"\\" + *wname)) return mutex;
    }
  }
  return create(*wname);
}

std::vector<uintptr_t> Win32System::FindWindows(const std::string& class_name, const std::string& caption) {
  auto wclass = NameArg(class_name), wcaption = NameArg(caption);
  if (!wclass || !wcaption) return {};
  WindowSearch search{class_name.empty() ? nullptr : wclass->c_str(), caption.empty() ? nullptr : wcaption->c_str(),
                      {}};
  EnumWindows(MatchWindow, LPARAM(&search));
  return search.found;
}

bool Win32System::WindowOfProgram(uintptr_t window, const std::string& program) {
  auto wprogram = NameArg(program);
  DWORD pid = 0;
  if (!wprogram || program.empty() || !GetWindowThreadProcessId(HWND(window), &pid) || !pid) return false;
  Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return false;
  std::wstring image(32768, L'\0');
  DWORD length = DWORD(image.size());
  if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &length)) return false;
  image.resize(length);
  auto theirs = FileIdentity(image.c_str());
  return theirs && theirs == FileIdentity(wprogram->c_str());
}

std::optional<intptr_t> Win32System::SendRegisteredMessage(uintptr_t window, const std::string& message,
                                                           int timeout_ms) {
  auto wmessage = NameArg(message);
  if (!wmessage || message.empty()) return std::nullopt;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(HWND(window), RegisterWindowMessageW(wmessage->c_str()), 0, 0, SMTO_NORMAL,
                           UINT(std::max(timeout_ms, 0)), &result))
    return std::nullopt;
  return intptr_t(result);
}

bool Win32System::BringWindowForward(uintptr_t window, const std::string& message) {
  HWND hwnd = HWND(window);
  auto wmessage = NameArg(message);
  if (!wmessage || !IsWindow(hwnd)) return false;
  if (IsIconic(hwnd))
    OpenIcon(hwnd);
  else
    SetForegroundWindow(hwnd);  // the system may refuse it; the window was still found
  if (!message.empty()) {
    // We were started by the user and may give the foreground away: the
    // other program may then bring its window to the front.
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    AllowSetForegroundWindow(pid);
    PostMessageW(hwnd, RegisterWindowMessageW(wmessage->c_str()), 0, 0);
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
