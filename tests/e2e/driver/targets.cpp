// Finding the target's processes, windows and controls from outside.
#include "driver.h"

#include <tlhelp32.h>

#include <map>

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

namespace vd {

// ---------------------------------------------------------------- processes

namespace {

std::map<DWORD, std::string> g_images;
std::map<DWORD, Tracked> g_tracked;

std::map<DWORD, std::string> snapshot() {
  std::map<DWORD, std::string> images;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return images;
  PROCESSENTRY32W pe;
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
    std::wstring exe = pe.szExeFile;
    size_t slash = exe.find_last_of(L"\\/");
    if (slash != std::wstring::npos) exe = exe.substr(slash + 1);
    images[pe.th32ProcessID] = lower(utf8(exe));
  }
  CloseHandle(snap);
  return images;
}

bool exited(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

BOOL CALLBACK collect(HWND h, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
  return TRUE;
}

BOOL CALLBACK takeFirst(HWND h, LPARAM p) {
  *reinterpret_cast<HWND*>(p) = h;
  return FALSE;
}

}  // namespace

std::string imageOf(DWORD pid) {
  auto it = g_images.find(pid);
  if (it != g_images.end()) return it->second;
  g_images = snapshot();
  it = g_images.find(pid);
  return it == g_images.end() ? std::string() : it->second;
}

bool isTargetProcess(DWORD pid) {
  if (pid == GetCurrentProcessId()) return false;
  // Wine's own shell and service processes own the desktop, the task bar and
  // hidden helper windows; none of them is ever under test.
  static const char* const kSystem[] = {
      "explorer.exe", "conhost.exe",  "services.exe", "winedevice.exe", "plugplay.exe",
      "svchost.exe",  "rpcss.exe",    "start.exe",    "wineboot.exe",   "rundll32.exe",
      "winemenubuilder.exe", "mscorsvw.exe", "tabtip.exe"};
  std::string image = imageOf(pid);
  for (const char* s : kSystem)
    if (image == s) return false;
  return true;
}

void trackProcess(DWORD pid) {
  if (g_tracked.count(pid)) return;
  HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return;
  g_tracked[pid] = Tracked{pid, imageOf(pid), h};
}

std::vector<Tracked> trackedProcesses() {
  std::vector<Tracked> out;
  for (auto& [pid, t] : g_tracked) out.push_back(t);
  return out;
}

std::vector<DWORD> runningProcesses(const std::string& image) {
  g_images = snapshot();
  std::vector<DWORD> out;
  for (auto& [pid, name] : g_images) {
    if (name != lower(image)) continue;
    auto t = g_tracked.find(pid);
    if (t != g_tracked.end() && exited(t->second.handle)) continue;
    out.push_back(pid);
  }
  return out;
}

// ---------------------------------------------------------------- windows

std::wstring classOf(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

std::wstring captionOf(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring s(n + 1, L'\0');
  n = GetWindowTextW(h, s.data(), n + 1);
  s.resize(n > 0 ? n : 0);
  return s;
}

LRESULT query(HWND h, UINT msg, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(h, msg, w, l, SMTO_NORMAL, kMessageTimeout, &result)) {
    if (!IsWindow(h)) fail("the window is gone");
    fail("the target did not answer within " + std::to_string(kMessageTimeout) + " ms (hung?)");
  }
  return (LRESULT)result;
}

std::wstring textOf(HWND h) {
  LRESULT n = query(h, WM_GETTEXTLENGTH);
  if (n < 0) n = 0;
  std::wstring s(n + 64, L'\0');
  LRESULT got = query(h, WM_GETTEXT, (WPARAM)s.size(), (LPARAM)s.data());
  s.resize(got > 0 ? (size_t)got : 0);
  return s;
}

std::wstring controlNameOf(HWND h) {
  HANDLE v = GetPropW(h, L"ControlName");
  ATOM atom = (ATOM)(UINT_PTR)v;
  if (!atom) return {};
  wchar_t buf[256] = {};
  UINT n = GlobalGetAtomNameW(atom, buf, 256);
  return std::wstring(buf, n);
}

std::vector<HWND> targetTopLevels() {
  std::vector<HWND> all;
  EnumWindows(collect, (LPARAM)&all);
  std::vector<HWND> out;
  for (HWND h : all) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (!pid || !isTargetProcess(pid)) continue;
    std::wstring cls = classOf(h);
    if (cls == L"#32769" || cls == L"IME" || cls == L"MSCTFIME UI") continue;
    trackProcess(pid);
    out.push_back(h);
  }
  return out;
}

std::vector<HWND> descendants(HWND h) {
  std::vector<HWND> out;
  EnumChildWindows(h, collect, (LPARAM)&out);
  return out;
}

HWND boxTextControl(HWND box) {
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if ((GetDlgCtrlID(c) & 0xFFFF) == 0xFFFF && lower(utf8(classOf(c))) == "static") return c;
  }
  return nullptr;
}

bool isMessageBox(HWND h) { return classOf(h) == L"#32770" && boxTextControl(h); }

std::vector<HWND> messageBoxes() {
  std::vector<HWND> out;
  for (HWND h : targetTopLevels())
    if (IsWindowVisible(h) && isMessageBox(h)) out.push_back(h);
  return out;
}

std::vector<HWND> windowsWithCaption(const std::wstring& caption) {
  std::vector<HWND> out;
  for (HWND h : targetTopLevels())
    if (IsWindowVisible(h) && !isMessageBox(h) && captionOf(h) == caption) out.push_back(h);
  return out;
}

std::vector<HWND> explorerWindows(const std::optional<std::wstring>& caption) {
  std::vector<HWND> all, out;
  EnumWindows(collect, (LPARAM)&all);
  for (HWND h : all) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (IsWindowVisible(h) && imageOf(pid) == "explorer.exe" && (!caption || captionOf(h) == *caption))
      out.push_back(h);
  }
  return out;
}

HWND windowByCaption(const std::string& caption) {
  auto found = windowsWithCaption(wide(caption));
  if (found.empty()) fail("no visible window " + quoted(caption));
  if (found.size() > 1)
    fail(std::to_string(found.size()) + " visible windows are captioned " + quoted(caption));
  return found[0];
}

namespace {

std::vector<std::string> splitRef(const std::string& ref) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t at = ref.find(" > ", start);
    parts.push_back(ref.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 3;
  }
  return parts;
}

bool matches(HWND h, const std::string& part) {
  if (part.rfind("caption:", 0) == 0) return captionOf(h) == wide(part.substr(8));
  if (part.rfind("class:", 0) == 0) return lower(utf8(classOf(h))) == lower(part.substr(6));
  if (part.rfind("id:", 0) == 0) {
    long long id;
    return parseInt(part.substr(3), id) && (GetDlgCtrlID(h) & 0xFFFF) == (id & 0xFFFF) &&
           (GetWindowLongW(h, GWL_STYLE) & WS_CHILD);
  }
  return controlNameOf(h) == wide(part);
}

}  // namespace

bool tryResolve(const std::string& ref, HWND& out, std::string& why) {
  auto parts = splitRef(ref);
  HWND scope = nullptr;
  std::string path;
  for (const std::string& part : parts) {
    std::vector<HWND> pool;
    if (!scope) {
      for (HWND top : targetTopLevels()) {
        pool.push_back(top);
        for (HWND c : descendants(top)) pool.push_back(c);
      }
    } else {
      pool = descendants(scope);
    }
    std::vector<HWND> hits, visible;
    for (HWND h : pool)
      if (matches(h, part)) hits.push_back(h);
    for (HWND h : hits)
      if (IsWindowVisible(h)) visible.push_back(h);
    std::string where = path.empty() ? "" : " inside " + quoted(path);
    if (hits.empty()) {
      why = "no control " + quoted(part) + where;
      return false;
    }
    if (hits.size() > 1) {
      // Hidden leftovers do not make a visible control ambiguous.
      if (visible.size() != 1) {
        why = std::to_string(visible.empty() ? hits.size() : visible.size()) + " controls match " +
              quoted(part) + where + "; narrow it with 'parent > child'";
        return false;
      }
      hits = visible;
    }
    scope = hits[0];
    path += (path.empty() ? "" : " > ") + part;
  }
  out = scope;
  return true;
}

HWND resolve(const std::string& ref) {
  HWND h;
  std::string why;
  if (!tryResolve(ref, h, why)) fail(why);
  return h;
}

std::string describe(HWND h) {
  std::string s = utf8(classOf(h));
  std::wstring name = controlNameOf(h);
  if (!name.empty()) s.append(" name=").append(utf8(name));
  s.append(" ").append(quoted(captionOf(h)));
  if (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) s.append(" id=").append(std::to_string(GetDlgCtrlID(h) & 0xFFFF));
  s += IsWindowVisible(h) ? " visible" : " hidden";
  if (!IsWindowEnabled(h)) s += " disabled";
  RECT r;
  GetWindowRect(h, &r);
  HWND parent = (GetWindowLongW(h, GWL_STYLE) & WS_CHILD) ? GetAncestor(h, GA_PARENT) : nullptr;
  if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  s += " at " + std::to_string(r.left) + "," + std::to_string(r.top) + " size " +
       std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
  return s;
}

// ---------------------------------------------------------------- acting

void settleThread(DWORD tid) {
  HWND any = nullptr;
  EnumThreadWindows(tid, takeFirst, (LPARAM)&any);
  if (!any) return;
  // Sent messages are handled in order, so this returns once the thread has
  // finished the action's handler, or is pumping messages in a modal loop.
  DWORD_PTR r;
  SendMessageTimeoutW(any, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
}

void act(HWND h, UINT msg, WPARAM w, LPARAM l) {
  DWORD tid = GetWindowThreadProcessId(h, nullptr);
  if (!tid) fail("the window is gone");
  // Not SendMessage: a handler that opens a modal box must not block the driver.
  if (!SendNotifyMessageW(h, msg, w, l)) fail("could not deliver the message (error " + std::to_string(GetLastError()) + ")");
  settleThread(tid);
}

void requireUsable(HWND h, const std::string& ref) {
  if (!IsWindowVisible(h)) fail(quoted(ref) + " is not visible");
  for (HWND w = h; w; w = GetAncestor(w, GA_PARENT)) {
    if (!IsWindowEnabled(w)) {
      if (w == h) fail(quoted(ref) + " is disabled");
      fail(quoted(ref) + " is inside a disabled window (" + utf8(classOf(w)) + " " + quoted(captionOf(w)) + ")");
    }
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
  }
}

}  // namespace vd
