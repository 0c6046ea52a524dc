// The script commands. Each either holds (and may print) or throws a Failure.
#include "driver.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

namespace vd {

namespace {

using Args = std::vector<std::string>;

std::string str(long long v) { return std::to_string(v); }

std::string hex(DWORD v) {
  char buf[16];
  wsprintfA(buf, "0x%08lX", (unsigned long)v);
  return buf;
}

bool boolArg(const std::string& s) {
  if (s == "1") return true;
  if (s == "0") return false;
  fail("expected 0 or 1, not " + quoted(s));
}

bool classIs(HWND h, const char* cls) { return lower(utf8(classOf(h))) == lower(cls); }

std::wstring stripAmpersands(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&') {
      if (i + 1 < s.size() && s[i + 1] == L'&') out += L'&', ++i;
      continue;
    }
    out += s[i];
  }
  return out;
}

// ---- list boxes

HWND listBox(const std::string& ref) {
  HWND h = resolve(ref);
  if (!classIs(h, "ListBox")) fail(quoted(ref) + " is a " + utf8(classOf(h)) + ", not a ListBox");
  return h;
}

bool isMultiSelect(HWND h) { return GetWindowLongW(h, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL); }

std::vector<std::wstring> listItems(HWND h) {
  LRESULT count = query(h, LB_GETCOUNT);
  if (count == LB_ERR) fail("LB_GETCOUNT failed");
  std::vector<std::wstring> items;
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT len = query(h, LB_GETTEXTLEN, i);
    if (len == LB_ERR) fail("LB_GETTEXTLEN failed for item " + str(i));
    std::wstring s(len + 1, L'\0');
    LRESULT got = query(h, LB_GETTEXT, i, (LPARAM)s.data());
    if (got == LB_ERR) fail("LB_GETTEXT failed for item " + str(i));
    s.resize(got > 0 ? (size_t)got : 0);
    items.push_back(s);
  }
  return items;
}

std::vector<int> selection(HWND h) {
  std::vector<int> sel;
  if (isMultiSelect(h)) {
    LRESULT count = query(h, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i)
      if (query(h, LB_GETSEL, i) > 0) sel.push_back((int)i);
  } else {
    LRESULT cur = query(h, LB_GETCURSEL);
    if (cur != LB_ERR) sel.push_back((int)cur);
  }
  return sel;
}

// An index is a plain decimal number; "text:" forces an item text that looks like one.
int itemIndex(const std::vector<std::wstring>& items, const std::string& which) {
  long long idx;
  if (which.rfind("text:", 0) != 0 && parseInt(which, idx)) {
    if (idx < 0 || idx >= (long long)items.size())
      fail("index " + which + " is outside the " + str(items.size()) + " items");
    return (int)idx;
  }
  std::wstring want = wide(which.rfind("text:", 0) == 0 ? which.substr(5) : which);
  int found = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] != want) continue;
    if (found >= 0) fail("more than one item reads " + quoted(want));
    found = (int)i;
  }
  if (found < 0) fail("no item reads " + quoted(want));
  return found;
}

std::string selectionText(HWND h, const std::vector<std::wstring>& items) {
  auto sel = selection(h);
  if (sel.empty()) return "none";
  std::string s;
  for (int i : sel) s += (s.empty() ? "" : ", ") + str(i) + " " + quoted(items[i]);
  return s;
}

// ---- message boxes

struct BoxInfo {
  HWND hwnd;
  std::wstring caption, text;
  std::vector<std::wstring> buttons;
};

BoxInfo boxInfo(HWND box) {
  BoxInfo b{box, captionOf(box), {}, {}};
  HWND t = boxTextControl(box);
  if (t) b.text = textOf(t);
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (classIs(c, "Button") && IsWindowVisible(c)) b.buttons.push_back(stripAmpersands(captionOf(c)));
  return b;
}

std::string boxLine(const BoxInfo& b) {
  std::string s = "box " + quoted(b.caption) + ": " + quoted(b.text) + " [";
  for (size_t i = 0; i < b.buttons.size(); ++i) {
    if (i) s += '|';
    s += utf8(b.buttons[i]);
  }
  return s + "]";
}

HWND boxButton(HWND box, const std::string& which) {
  static const std::map<std::string, int> kIds = {
      {"ok", IDOK},     {"cancel", IDCANCEL}, {"abort", IDABORT}, {"retry", IDRETRY},
      {"ignore", IDIGNORE}, {"yes", IDYES}, {"no", IDNO},         {"close", 8},
      {"help", 9},      {"tryagain", 10},     {"continue", 11}};
  std::vector<HWND> buttons;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (classIs(c, "Button") && IsWindowVisible(c)) buttons.push_back(c);
  auto id = kIds.find(lower(which));
  if (id != kIds.end())
    for (HWND c : buttons)
      if ((GetDlgCtrlID(c) & 0xFFFF) == id->second) return c;
  std::string want = lower(utf8(stripAmpersands(wide(which))));
  for (HWND c : buttons)
    if (lower(utf8(stripAmpersands(captionOf(c)))) == want) return c;
  fail("the message box has no button " + quoted(which) + " (" + boxLine(boxInfo(box)) + ")");
}

// ---- processes

HANDLE g_last_started = nullptr;
DWORD g_last_pid = 0;

std::wstring quoteArg(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') { ++slashes; out += c; continue; }
    if (c == L'"') out.append(slashes + 1, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes, L'\\');
  return out + L"\"";
}

// ---- the commands

void cmdWaitWindow(const Args& a, Out& out) {
  DWORD t = msArg(a, 1, kDefaultWait);
  std::vector<HWND> found;
  if (!pollUntil(t, [&] { return !(found = windowsWithCaption(wide(a[0]))).empty(); }))
    fail("no visible window " + quoted(a[0]) + " within " + str(t) + " ms");
  out.push_back(describe(found[0]));
}

void cmdWaitExplorer(const Args& a, Out& out) {
  DWORD t = msArg(a, 1, kDefaultWait);
  std::vector<HWND> found;
  if (!pollUntil(t, [&] { return !(found = explorerWindows(wide(a[0]))).empty(); })) {
    std::string shown;
    for (HWND h : explorerWindows(std::nullopt)) shown += " " + quoted(utf8(captionOf(h)));
    fail("Explorer shows no window " + quoted(a[0]) + " within " + str(t) + " ms; it shows:" + shown);
  }
  out.push_back(describe(found[0]));
}

void cmdWaitGone(const Args& a, Out& out) {
  DWORD t = msArg(a, 1, kDefaultWait);
  if (!pollUntil(t, [&] { return windowsWithCaption(wide(a[0])).empty(); }))
    fail("window " + quoted(a[0]) + " still there after " + str(t) + " ms");
}

void cmdWindows(const Args&, Out& out) {
  for (HWND h : targetTopLevels()) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    RECT c;
    GetClientRect(h, &c);
    out.push_back(describe(h) + " client " + str(c.right) + "x" + str(c.bottom) +
                  (isMessageBox(h) ? " (message box)" : "") + " pid " + str(pid) + " " + imageOf(pid));
  }
}

void dumpTree(HWND root, Out& out) {
  out.push_back(describe(root));
  for (HWND c : descendants(root)) {
    int depth = 0;
    for (HWND p = c; p && p != root; p = GetAncestor(p, GA_PARENT)) ++depth;
    out.push_back(std::string(depth * 2, ' ') + describe(c));
  }
}

void cmdControls(const Args& a, Out& out) {
  if (a.empty()) {
    for (HWND h : targetTopLevels())
      if (IsWindowVisible(h)) dumpTree(h, out);
    return;
  }
  auto byCaption = windowsWithCaption(wide(a[0]));
  dumpTree(byCaption.size() == 1 ? byCaption[0] : resolve(a[0]), out);
}

void checkClientSize(HWND h, long w, long hgt) {
  RECT c;
  GetClientRect(h, &c);
  if (c.right != w || c.bottom != hgt)
    fail("client size is " + str(c.right) + "x" + str(c.bottom) + ", expected " + str(w) + "x" + str(hgt));
}

void cmdExpectClientSize(const Args& a, Out&) {
  checkClientSize(windowByCaption(a[0]), (long)intArg(a[1], "width"), (long)intArg(a[2], "height"));
}

void cmdClose(const Args& a, Out&) {
  HWND h = windowByCaption(a[0]);
  requireUsable(h, a[0]);
  act(h, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// What Task Manager's "End task" does: the close message itself, which a
// window gets even while a modal box keeps it disabled.
void cmdEndTask(const Args& a, Out&) { act(windowByCaption(a[0]), WM_CLOSE, 0, 0); }

void cmdFind(const Args& a, Out& out) { out.push_back(describe(resolve(a[0]))); }

void cmdWaitFind(const Args& a, Out& out) {
  DWORD t = msArg(a, 1, kDefaultWait);
  HWND h = nullptr;
  std::string why;
  if (!pollUntil(t, [&] { return tryResolve(a[0], h, why); })) fail(why + " within " + str(t) + " ms");
  out.push_back(describe(h));
}

void cmdExpectMissing(const Args& a, Out&) {
  HWND h;
  std::string why;
  if (tryResolve(a[0], h, why)) fail("found " + describe(h));
}

void cmdText(const Args& a, Out& out) { out.push_back(a[0] + ": " + quoted(textOf(resolve(a[0])))); }

void cmdExpectText(const Args& a, Out&) {
  std::wstring got = textOf(resolve(a[0]));
  if (got != wide(a[1])) fail("text is " + quoted(got) + ", expected " + quoted(a[1]));
}

void cmdWaitText(const Args& a, Out&) {
  DWORD t = msArg(a, 2, kDefaultWait);
  std::string last = "never found " + quoted(a[0]);
  bool ok = pollUntil(t, [&] {
    HWND h;
    if (!tryResolve(a[0], h, last)) return false;
    std::wstring got;
    try {
      got = textOf(h);
    } catch (const Failure& f) {
      last = f.what();
      return false;
    }
    last = "text is " + quoted(got);
    return got == wide(a[1]);
  });
  if (!ok) fail(last + " after " + str(t) + " ms, expected " + quoted(a[1]));
}

void cmdExpectChecked(const Args& a, Out&) {
  HWND h = resolve(a[0]);
  if (!classIs(h, "Button")) fail(quoted(a[0]) + " is not a button");
  long long want = intArg(a[1], "state");
  LRESULT got = query(h, BM_GETCHECK);
  if (got != want) fail("check state is " + str(got) + ", expected " + str(want));
}

void cmdExpectEnabled(const Args& a, Out&) {
  bool want = boolArg(a[1]);
  bool got = IsWindowEnabled(resolve(a[0]));
  if (got != want) fail(quoted(a[0]) + (got ? " is enabled" : " is disabled"));
}

void cmdExpectVisible(const Args& a, Out&) {
  bool want = boolArg(a[1]);
  bool got = IsWindowVisible(resolve(a[0]));
  if (got != want) fail(quoted(a[0]) + (got ? " is visible" : " is not visible"));
}

void cmdList(const Args& a, Out& out) {
  HWND h = listBox(a[0]);
  auto items = listItems(h);
  for (size_t i = 0; i < items.size(); ++i) out.push_back(std::string("[") + str(i) + "] " + quoted(items[i]));
  out.push_back("selected: " + selectionText(h, items));
}

void cmdExpectItems(const Args& a, Out&) {
  auto items = listItems(listBox(a[0]));
  std::vector<std::wstring> want;
  for (size_t i = 1; i < a.size(); ++i) want.push_back(wide(a[i]));
  if (items == want) return;
  std::string got;
  for (auto& s : items) got.append(" ").append(quoted(s));
  fail("items are" + (got.empty() ? std::string(" none") : got));
}

void cmdExpectCount(const Args& a, Out&) {
  LRESULT n = query(listBox(a[0]), LB_GETCOUNT);
  if (n != intArg(a[1], "count")) fail("list has " + str(n) + " items, expected " + a[1]);
}

void cmdExpectSelected(const Args& a, Out&) {
  HWND h = listBox(a[0]);
  auto items = listItems(h);
  auto sel = selection(h);
  if (a[1] == "-1" || a[1] == "none") {
    if (!sel.empty()) fail("selected: " + selectionText(h, items));
    return;
  }
  int want = itemIndex(items, a[1]);
  if (sel.size() != 1 || sel[0] != want) fail("selected: " + selectionText(h, items));
}

void cmdSelect(const Args& a, Out&) {
  HWND h = listBox(a[0]);
  requireUsable(h, a[0]);
  int idx = itemIndex(listItems(h), a[1]);
  if (isMultiSelect(h)) {
    query(h, LB_SETSEL, FALSE, -1);
    if (query(h, LB_SETSEL, TRUE, idx) == LB_ERR) fail("LB_SETSEL failed");
    query(h, LB_SETCARETINDEX, idx, FALSE);
  } else if (query(h, LB_SETCURSEL, idx) == LB_ERR) {
    fail("LB_SETCURSEL failed");
  }
  // A list box tells its parent about a click only when it was made with LBS_NOTIFY.
  if (GetWindowLongW(h, GWL_STYLE) & LBS_NOTIFY) {
    HWND parent = GetAncestor(h, GA_PARENT);
    WORD id = (WORD)GetDlgCtrlID(h);
    act(parent, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)h);
  }
}

POINT centre(HWND h) {
  RECT r;
  GetClientRect(h, &r);
  return POINT{r.right / 2, r.bottom / 2};
}

void moveCursorTo(HWND h, POINT client) {
  POINT screen = client;
  ClientToScreen(h, &screen);
  SetCursorPos(screen.x, screen.y);
}

void cmdClick(const Args& a, Out&) {
  HWND h = resolve(a[0]);
  requireUsable(h, a[0]);
  if (classIs(h, "Button")) {
    act(h, BM_CLICK, 0, 0);
    return;
  }
  POINT c = centre(h);
  moveCursorTo(h, c);
  LPARAM at = MAKELPARAM(c.x, c.y);
  DWORD tid = GetWindowThreadProcessId(h, nullptr);
  SendNotifyMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendNotifyMessageW(h, WM_LBUTTONUP, 0, at);
  settleThread(tid);
}

void cmdHover(const Args& a, Out&) {
  HWND h = resolve(a[0]);
  if (!IsWindowVisible(h)) fail(quoted(a[0]) + " is not visible");
  POINT c = centre(h);
  moveCursorTo(h, c);
  act(h, WM_MOUSEMOVE, 0, MAKELPARAM(c.x, c.y));
}

// ---- pictures

// The screen, or the part a window covers (with its frame), as a 24-bit BMP.
void cmdScreenshot(const Args& a, Out& out) {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (a.size() > 1) {
    HWND h = a[1] == "menu" ? nullptr : windowByCaption(a[1]);
    if (a[1] == "menu") {
      for (HWND w : targetTopLevels())
        if (IsWindowVisible(w) && classOf(w) == L"#32768") h = w;
      if (!h) fail("no pop-up menu is open");
    }
    GetWindowRect(h, &r);
    // What a click has just changed may not be painted yet: paint it now.
    RedrawWindow(h, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  // Wine hands painted pixels to the X server a moment later.
  Sleep(300);
  const int w = r.right - r.left, height = r.bottom - r.top;
  if (w <= 0 || height <= 0) fail("nothing to take a picture of");
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = DWORD((w * 3 + 3) & ~3), size = stride * DWORD(height);
  BITMAPFILEHEADER fh{0x4D42, DWORD(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                      DWORD(sizeof fh + sizeof bi.bmiHeader)};
  HANDLE f = CreateFileW(wide(a[0]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  bool ok = f != INVALID_HANDLE_VALUE && WriteFile(f, &fh, sizeof fh, &written, nullptr) &&
            WriteFile(f, &bi.bmiHeader, sizeof bi.bmiHeader, &written, nullptr) &&
            WriteFile(f, bits, size, &written, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (!ok) fail("cannot write " + quoted(a[0]));
  out.push_back(str(w) + "x" + str(height) + " -> " + a[0]);
}

// Where a window is on the screen, with its frame: for tools outside Wine
// that click or take pictures by screen position.
void cmdScreenRect(const Args& a, Out& out) {
  RECT r;
  GetWindowRect(resolve(a[0]), &r);
  out.push_back("screen " + str(r.left) + " " + str(r.top) + " " + str(r.right - r.left) + " " +
                str(r.bottom - r.top));
}

// ---- the notification area and pop-up menus

// The shell's task bar on this desktop (Wine's explorer draws it).
HWND taskBar() {
  HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
  if (!bar || !IsWindowVisible(bar)) fail("there is no task bar on this desktop");
  return bar;
}

// All with one time stamp, so that two clicks count as a double click even
// when this process is not scheduled between them for a while.
void sendMouse(DWORD flags, DWORD time) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  in.mi.time = time;
  SendInput(1, &in, sizeof in);
}

// Real mouse input at the rightmost icon of the notification area, as a
// user's hand would give it: the shell then tells the icon's program.
void cmdClickTray(const Args& a, Out& out) {
  const std::string how = lower(a[0]);
  if (how != "left" && how != "right" && how != "double") fail("expected left, right or double, not " + quoted(a[0]));
  RECT r;
  GetWindowRect(taskBar(), &r);
  // Icons are small icons with a border of 2 on each side, from the right.
  const int cell = GetSystemMetrics(SM_CXSMICON) + 4;
  POINT at{r.right - cell / 2 - 2, (r.top + r.bottom) / 2};
  SetCursorPos(at.x, at.y);
  out.push_back("at " + str(at.x) + "," + str(at.y));
  const DWORD down = how == "right" ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  const DWORD up = how == "right" ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  const DWORD now = GetTickCount();
  for (int i = 0; i < (how == "double" ? 2 : 1); ++i) {
    sendMouse(down, now);
    sendMouse(up, now);
  }
  // The shell passes the click on by a posted message; give it its turn.
  DWORD tid = GetWindowThreadProcessId(taskBar(), nullptr);
  settleThread(tid);
}

// What the shell tells a tray icon's window (its call-back message,
// WM_USER + 211 for Veltrane's) when the mouse acts on the icon: for the
// steps where the icon is a means, not what is tested.
void cmdTrayNotify(const Args& a, Out&) {
  static const std::map<std::string, LPARAM> events{
      {"move", WM_MOUSEMOVE},       {"left-down", WM_LBUTTONDOWN}, {"left-up", WM_LBUTTONUP},
      {"double", WM_LBUTTONDBLCLK}, {"right-down", WM_RBUTTONDOWN}, {"right-up", WM_RBUTTONUP}};
  auto it = events.find(lower(a[1]));
  if (it == events.end()) fail("unknown event " + quoted(a[1]) + " (move, left-down, left-up, double, right-down, right-up)");
  act(resolve(a[0]), WM_USER + 211, 0, it->second);
}

// The visible pop-up menu of a program under test, or nullptr.
HWND openMenu() {
  for (HWND h : targetTopLevels())
    if (IsWindowVisible(h) && classOf(h) == L"#32768") return h;
  return nullptr;
}

void cmdWaitMenu(const Args& a, Out& out) {
  HWND menu = nullptr;
  if (!pollUntil(msArg(a, 0, kDefaultWait), [&] { return (menu = openMenu()) != nullptr; }))
    fail("no pop-up menu opened");
  RECT r;
  GetWindowRect(menu, &r);
  out.push_back("menu at " + str(r.left) + "," + str(r.top) + " size " + str(r.right - r.left) + "x" +
                str(r.bottom - r.top));
}

// Keys pressed in the open menu: up, down, enter, escape.
void cmdMenuKeys(const Args& a, Out&) {
  HWND menu = openMenu();
  if (!menu) fail("no pop-up menu is open");
  static const std::map<std::string, WPARAM> keys{
      {"up", VK_UP}, {"down", VK_DOWN}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE}};
  DWORD tid = GetWindowThreadProcessId(menu, nullptr);
  for (const std::string& name : a) {
    auto it = keys.find(lower(name));
    if (it == keys.end()) fail("unknown key " + quoted(name) + " (up, down, enter, escape)");
    PostMessageW(menu, WM_KEYDOWN, it->second, 0);
    PostMessageW(menu, WM_KEYUP, it->second, 0);
  }
  settleThread(tid);
}

HWND progressBar(const std::string& ref) {
  HWND h = resolve(ref);
  if (!classIs(h, PROGRESS_CLASSA)) fail(quoted(ref) + " is a " + utf8(classOf(h)) + ", not a progress bar");
  return h;
}

void cmdProgress(const Args& a, Out& out) {
  HWND h = progressBar(a[0]);
  LRESULT pos = query(h, PBM_GETPOS), lo = query(h, PBM_GETRANGE, TRUE), hi = query(h, PBM_GETRANGE, FALSE);
  out.push_back(a[0] + ": " + str(pos) + " of " + str(lo) + ".." + str(hi));
}

void cmdExpectProgress(const Args& a, Out&) {
  LRESULT pos = query(progressBar(a[0]), PBM_GETPOS);
  if (pos != intArg(a[1], "position")) fail("position is " + str(pos) + ", expected " + a[1]);
}

void cmdWaitBox(const Args& a, Out& out) {
  bool anyText = a.empty() || a[0] == "*";
  DWORD t = msArg(a, 1, kDefaultWait);
  std::string seen;
  BoxInfo found{};
  bool ok = pollUntil(t, [&] {
    for (HWND box : messageBoxes()) {
      BoxInfo b;
      try {
        b = boxInfo(box);
      } catch (const Failure&) {
        continue;  // closed while we looked
      }
      if (anyText || b.text == wide(a[0])) {
        found = b;
        return true;
      }
      seen = boxLine(b);
    }
    return false;
  });
  if (!ok) {
    if (!seen.empty()) fail("the message box reads differently: " + seen);
    fail("no message box within " + str(t) + " ms");
  }
  out.push_back(boxLine(found));
}

void cmdAnswerBox(const Args& a, Out& out) {
  auto boxes = messageBoxes();
  if (boxes.empty()) fail("no message box");
  HWND box = boxes[0];
  BoxInfo b = boxInfo(box);
  if (a.size() > 1 && b.text != wide(a[1])) fail("the message box reads differently: " + boxLine(b));
  HWND button = boxButton(box, a[0]);
  requireUsable(button, a[0]);
  DWORD tid = GetWindowThreadProcessId(box, nullptr);
  out.push_back(boxLine(b) + " -> " + a[0]);
  if (!SendNotifyMessageW(button, BM_CLICK, 0, 0)) fail("could not press " + quoted(a[0]));
  if (!pollUntil(10000, [&] { return !IsWindow(box) || !IsWindowVisible(box); }))
    fail("the message box did not close after pressing " + quoted(a[0]));
  // Lets the code that opened the box run on with the answer.
  settleThread(tid);
}

void cmdExpectNoBox(const Args& a, Out&) {
  DWORD t = msArg(a, 0, 0);
  std::string seen;
  pollUntil(t, [&] {
    auto boxes = messageBoxes();
    if (boxes.empty()) return false;
    seen = boxLine(boxInfo(boxes[0]));
    return true;
  });
  if (!seen.empty()) fail("a message box is open: " + seen);
}

void cmdWaitClientSize(const Args& a, Out&) {
  DWORD t = msArg(a, 3, kDefaultWait);
  std::string last;
  bool ok = pollUntil(t, [&] {
    try {
      checkClientSize(windowByCaption(a[0]), (long)intArg(a[1], "width"), (long)intArg(a[2], "height"));
      return true;
    } catch (const Failure& f) {
      last = f.what();
      return false;
    }
  });
  if (!ok) fail(last + " after " + str(t) + " ms");
}

void cmdStart(const Args& a, Out& out) {
  std::wstring exe = wide(a[0]);
  if (exe.find_first_of(L"\\/:") == std::wstring::npos) exe = g_self_dir + L"\\" + exe;
  std::wstring cmdline = quoteArg(exe);
  for (size_t i = 1; i < a.size(); ++i) cmdline += L" " + quoteArg(wide(a[i]));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring desktop = g_desktop;
  if (!desktop.empty()) si.lpDesktop = desktop.data();
  PROCESS_INFORMATION pi{};
  // The named file, also under C:\Windows\System32 of 64-bit Windows, where
  // this 32-bit driver would otherwise start its SysWOW64 namesake.
  using Redirect = BOOL(WINAPI*)(PVOID*);
  using Revert = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto redirect = reinterpret_cast<Redirect>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
  auto revert = reinterpret_cast<Revert>(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
  PVOID old = nullptr;
  bool native = redirect && revert && redirect(&old);
  BOOL started = CreateProcessW(exe.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  DWORD error = GetLastError();
  if (native) revert(old);
  if (!started) fail("cannot start " + quoted(exe) + " (error " + str(error) + ")");
  CloseHandle(pi.hThread);
  if (g_last_started) CloseHandle(g_last_started);
  g_last_started = pi.hProcess;
  g_last_pid = pi.dwProcessId;
  trackProcess(pi.dwProcessId);
  out.push_back("started pid " + str(pi.dwProcessId));
}

void cmdWaitExit(const Args& a, Out& out) {
  DWORD t = msArg(a, 1, kDefaultWait);
  long long wantCode = a.size() > 2 ? intArg(a[2], "exit code") : 0;
  struct P {
    DWORD pid;
    std::string image;
    HANDLE h;
  };
  std::vector<P> procs;
  long long pid;
  if (a[0] == "last") {
    if (!g_last_started) fail("no program was started with 'start'");
    procs.push_back({g_last_pid, imageOf(g_last_pid), g_last_started});
  } else if (parseInt(a[0], pid)) {
    trackProcess((DWORD)pid);
    for (auto& tp : trackedProcesses())
      if (tp.pid == (DWORD)pid) procs.push_back({tp.pid, tp.image, tp.handle});
  } else {
    for (DWORD p : runningProcesses(a[0])) trackProcess(p);
    for (auto& tp : trackedProcesses())
      if (tp.image == lower(a[0])) procs.push_back({tp.pid, tp.image, tp.handle});
  }
  if (procs.empty()) fail("no process " + quoted(a[0]) + " was seen");
  DWORD start = GetTickCount();
  for (auto& p : procs) {
    DWORD spent = GetTickCount() - start;
    DWORD left = spent >= t ? 0 : t - spent;
    if (WaitForSingleObject(p.h, left) != WAIT_OBJECT_0)
      fail(p.image + " (pid " + str(p.pid) + ") still running after " + str(t) + " ms");
    DWORD code = 0;
    GetExitCodeProcess(p.h, &code);
    out.push_back(p.image + " (pid " + str(p.pid) + ") exited with code " + str(code));
    if ((long long)code != wantCode && (long long)(int)code != wantCode)
      fail(p.image + " (pid " + str(p.pid) + ") exited with code " + str((int)code) + " (" + hex(code) +
           "), expected " + str(wantCode));
  }
}

void cmdExpectProcessCount(const Args& a, Out&) {
  size_t n = runningProcesses(a[0]).size();
  if ((long long)n != intArg(a[1], "count"))
    fail(str(n) + " processes " + quoted(a[0]) + " are running, expected " + a[1]);
}

void cmdSleep(const Args& a, Out&) {
  long long ms = intArg(a[0], "ms");
  if (ms < 0 || ms > 60000) fail("sleep-ms takes 0..60000");
  Sleep((DWORD)ms);
}

void cmdEcho(const Args& a, Out& out) {
  std::string s;
  for (auto& w : a) s += (s.empty() ? "" : " ") + w;
  out.push_back(s);
}

Args rest(const Args& a, size_t from) { return Args(a.begin() + from, a.end()); }

void cmdWaitUntil(const Args& a, Out& out) {
  DWORD t = msArg(a, 0, 0);
  Args inner = rest(a, 1);
  std::string bad = checkArity(inner);
  if (!bad.empty()) fail(bad);
  std::string last;
  Out innerOut;
  bool ok = pollUntil(t, [&] {
    innerOut.clear();
    try {
      runCommand(inner, innerOut);
      return true;
    } catch (const Failure& f) {
      last = f.what();
      return false;
    }
  });
  if (!ok) fail(last + " (still after " + str(t) + " ms)");
  out.insert(out.end(), innerOut.begin(), innerOut.end());
}

void cmdExpectFail(const Args& a, Out& out) {
  Args inner = a;
  std::string bad = checkArity(inner);
  if (!bad.empty()) fail(bad);
  Out innerOut;
  try {
    runCommand(inner, innerOut);
  } catch (const Failure& f) {
    out.push_back(std::string("failed as expected: ") + f.what());
    return;
  }
  fail("the command held");
}

}  // namespace

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"wait-window", 1, 2, "<caption> [timeout_ms]", cmdWaitWindow},
      {"wait-gone", 1, 2, "<caption> [timeout_ms]", cmdWaitGone},
      {"wait-explorer", 1, 2, "<caption> [timeout_ms]", cmdWaitExplorer},
      {"windows", 0, 0, "", cmdWindows},
      {"controls", 0, 1, "[<caption>|<control>]", cmdControls},
      {"expect-client-size", 3, 3, "<caption> <width> <height>", cmdExpectClientSize},
      {"wait-client-size", 3, 4, "<caption> <width> <height> [timeout_ms]", cmdWaitClientSize},
      {"close", 1, 1, "<caption>", cmdClose},
      {"end-task", 1, 1, "<caption>", cmdEndTask},
      {"find", 1, 1, "<control>", cmdFind},
      {"wait-find", 1, 2, "<control> [timeout_ms]", cmdWaitFind},
      {"expect-missing", 1, 1, "<control>", cmdExpectMissing},
      {"text", 1, 1, "<control>", cmdText},
      {"expect-text", 2, 2, "<control> <text>", cmdExpectText},
      {"wait-text", 2, 3, "<control> <text> [timeout_ms]", cmdWaitText},
      {"expect-checked", 2, 2, "<control> 0|1|2", cmdExpectChecked},
      {"expect-enabled", 2, 2, "<control> 0|1", cmdExpectEnabled},
      {"expect-visible", 2, 2, "<control> 0|1", cmdExpectVisible},
      {"list", 1, 1, "<control>", cmdList},
      {"expect-items", 1, -1, "<control> [item...]", cmdExpectItems},
      {"expect-count", 2, 2, "<control> <n>", cmdExpectCount},
      {"expect-selected", 2, 2, "<control> <index|text|none>", cmdExpectSelected},
      {"select", 2, 2, "<control> <index|text>", cmdSelect},
      {"click", 1, 1, "<control>", cmdClick},
      {"click-tray", 1, 1, "left|right|double", cmdClickTray},
      {"screenshot", 1, 2, "<file.bmp> [<caption>|menu]", cmdScreenshot},
      {"screen-rect", 1, 1, "<control>", cmdScreenRect},
      {"tray-notify", 2, 2, "<control> move|left-down|left-up|double|right-down|right-up", cmdTrayNotify},
      {"wait-menu", 0, 1, "[timeout_ms]", cmdWaitMenu},
      {"menu-keys", 1, -1, "up|down|enter|escape...", cmdMenuKeys},
      {"hover", 1, 1, "<control>", cmdHover},
      {"progress", 1, 1, "<control>", cmdProgress},
      {"expect-progress", 2, 2, "<control> <position>", cmdExpectProgress},
      {"wait-box", 0, 2, "[<text>|*] [timeout_ms]", cmdWaitBox},
      {"answer-box", 1, 2, "<button> [<text>]", cmdAnswerBox},
      {"expect-no-box", 0, 1, "[ms]", cmdExpectNoBox},
      {"start", 1, -1, "<exe> [arg...]", cmdStart},
      {"wait-exit", 1, 3, "<image|pid|last> [timeout_ms] [exit_code]", cmdWaitExit},
      {"expect-process-count", 2, 2, "<image> <n>", cmdExpectProcessCount},
      {"sleep-ms", 1, 1, "<ms>", cmdSleep},
      {"echo", 0, -1, "[text...]", cmdEcho},
      {"wait-until", 2, -1, "<timeout_ms> <command> [arg...]", cmdWaitUntil},
      {"expect-fail", 1, -1, "<command> [arg...]", cmdExpectFail},
  };
  return table;
}

const Command* findCommand(const std::string& name) {
  for (const Command& c : commands())
    if (name == c.name) return &c;
  return nullptr;
}

std::string checkArity(const std::vector<std::string>& words) {
  if (words.empty()) return "missing command";
  const Command* c = findCommand(words[0]);
  if (!c) return "unknown command " + quoted(words[0]);
  int n = (int)words.size() - 1;
  if (n < c->min_args || (c->max_args >= 0 && n > c->max_args))
    return std::string("usage: ") + c->name + (*c->usage ? " " : "") + c->usage;
  std::string name = words[0];
  if (name == "wait-until" || name == "expect-fail")
    return checkArity(Args(words.begin() + (name == "wait-until" ? 2 : 1), words.end()));
  return "";
}

void runCommand(const std::vector<std::string>& words, Out& out) {
  std::string bad = checkArity(words);
  if (!bad.empty()) fail(bad);
  findCommand(words[0])->run(Args(words.begin() + 1, words.end()), out);
}

}  // namespace vd
