#include "platform/win32/win32_shell.h"

#include "platform/win32/win32_handles.h"
// After <windows.h>, which it needs.
#include <objbase.h>
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

// COM, single-threaded, for the life of the calling thread. The shell hands
// some documents to handlers that are COM objects, and those fail (or hang)
// on a thread without COM. Never undone: the thread's end does that, and
// undoing it from a destructor at process exit would run under the loader
// lock.
void EnsureCom() {
  thread_local bool done = false;
  if (done) return;
  done = true;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

}  // namespace

bool Win32Shell::Open(const std::string& document) {
  auto wdocument = NameArg(document);
  if (document.empty() || !wdocument) return false;
  EnsureCom();
  HINSTANCE result = ShellExecuteW(nullptr, L"open", wdocument->c_str(), nullptr, nullptr,
                                   SW_SHOWNORMAL);
  // Values up to 32 are error codes.
  return reinterpret_cast<INT_PTR>(result) > 32;
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
