#include "platform/win32/win32_shell.h"

#include "platform/win32/win32_handles.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

#include <map>
#include <mutex>
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

// Copies text into a fixed field, cut to fit with its terminating NUL.
template <size_t N>
void CopyField(wchar_t (&field)[N], const std::string& text) {
  std::wstring w = Wide(text);
  size_t n = std::min(w.size(), N - 1);
  w.copy(field, n);
  field[n] = 0;
}

HICON TrayIcon(const std::string& name) {
  static std::mutex mu;
  static std::map<std::string, HICON> loaded;
  if (name.empty()) return nullptr;
  std::lock_guard lock(mu);
  auto it = loaded.find(name);
  if (it != loaded.end()) return it->second;
  // Drawn for the notification area's own size, not scaled down from a larger one.
  HICON icon = HICON(LoadImageW(GetModuleHandleW(nullptr), Wide(name).c_str(), IMAGE_ICON,
                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  loaded[name] = icon;
  return icon;
}

// "X:\..." only.
bool FullPath(const std::string& path) { return path.size() >= 3 && path[1] == ':' && path[2] == '\\'; }

}  // namespace

bool Win32Shell::Start(const std::string& program, const std::string& arguments, const std::string& folder) {
  auto wprogram = NameArg(program), warguments = NameArg(arguments), wfolder = NameArg(folder);
  // A relative name would be looked for in the current folder.
  if (!FullPath(program) || !FullPath(folder) || !wprogram || !warguments || !wfolder) return false;
  std::wstring command = L"\"" + *wprogram + L"\" " + *warguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(wprogram->c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, wfolder->c_str(),
                      &startup, &started))
    return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

bool Win32Shell::NotifyIcon(NotifyIconOp op, const NotifyIconData& data) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
  nid.hWnd = HWND(data.window);
  nid.uID = data.id;
  nid.uFlags = data.flags;
  nid.uCallbackMessage = data.callback_message;
  nid.hIcon = TrayIcon(data.icon);
  CopyField(nid.szTip, data.tip);
  CopyField(nid.szInfo, data.info);
  CopyField(nid.szInfoTitle, data.info_title);
  nid.uTimeout = data.timeout_ms;
  nid.dwInfoFlags = data.info_flags;
  DWORD message = op == NotifyIconOp::Add ? NIM_ADD : op == NotifyIconOp::Modify ? NIM_MODIFY : NIM_DELETE;
  return Shell_NotifyIconW(message, &nid) != FALSE;
}

}  // namespace platform::win32
