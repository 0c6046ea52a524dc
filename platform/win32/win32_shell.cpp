#include "platform/win32/win32_shell.h"

#include "platform/win32/win32_handles.h"
// After <windows.h>, which it needs.
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <map>
#include <mutex>
#include "platform/win32/wide.h"
#include "platform/win32/win32_com.h"

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
  // Nothing waits for the program.
  const Handle thread(started.hThread), process(started.hProcess);
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

std::optional<std::string> Win32Shell::StartupFolderPath(StartupFolder which) {
  const KNOWNFOLDERID& id = which == StartupFolder::AllUsers ? FOLDERID_CommonStartup : FOLDERID_Startup;
  // Not verified: a Startup folder that does not exist yet is still where
  // Windows would look.
  wchar_t* found = nullptr;
  HRESULT hr = SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &found);
  std::wstring path = SUCCEEDED(hr) && found ? found : L"";
  CoTaskMemFree(found);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  if (path.empty()) return std::nullopt;
  return Utf8(path);
}

std::optional<Shortcut> Win32Shell::ReadShortcut(const std::string& path) {
  auto wpath = NameArg(path);
  if (!wpath) return std::nullopt;
  ComScope com;
  Com<IShellLinkW> link;
  Com<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.out()))) ||
      FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out()))) ||
      FAILED(file->Load(wpath->c_str(), STGM_READ)))
    return std::nullopt;
  // Room for the longest paths the system takes; the arguments of a
  // shortcut may be as long.
  constexpr int kChars = 32768;
  std::wstring text(kChars, L'\0');
  Shortcut shortcut;
  // Flags 0: environment variables in the stored target come expanded.
  // S_FALSE says there is no file target.
  if (link->GetPath(text.data(), kChars, nullptr, 0) == S_OK) shortcut.target = Utf8(text.c_str());
  text.assign(kChars, L'\0');
  if (SUCCEEDED(link->GetArguments(text.data(), kChars))) shortcut.arguments = Utf8(text.c_str());
  return shortcut;
}

}  // namespace platform::win32
