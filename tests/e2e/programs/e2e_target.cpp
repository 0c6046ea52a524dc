// A small Win32 program for the end-to-end driver to work on: one control of
// each kind that Veltrane uses, each named the way Veltrane names its controls.
//   e2e_target            shows the window "E2E Target"
//   e2e_target /quit=N    ends at once with exit code N (for process tests)
//   e2e_target /crash     faults at once (to see that the runner notices crashes)
// At start it shows HKCU\Software\Quorvik\E2ETarget "Greeting" in seedLabel;
// on a clean close it writes "closed cleanly" to C:\e2e_target.log.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum : int {
  kHello = 101, kAsk, kExtraCheck, kExtra, kManualCheck, kConfirmCheck, kList, kStep, kRun,
  kOptions, kGrow, kApply, kStatus, kHoverLabel, kGreeting, kProgress, kPanel, kOptionsStatus, kSeed,
};

HINSTANCE g_inst;
HWND g_main, g_status, g_extra, g_hoverLabel, g_progress, g_list, g_options;
HFONT g_font;
bool g_tracking;
int g_runTicks;

void name(HWND h, const char* n) { SetPropA(h, "ControlName", (HANDLE)(UINT_PTR)GlobalAddAtomA(n)); }

HWND control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h,
             int id, const char* controlName) {
  HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           (HMENU)(INT_PTR)id, g_inst, nullptr);
  if (g_font) SendMessageW(c, WM_SETFONT, (WPARAM)g_font, FALSE);
  name(c, controlName);
  return c;
}

void status(const char* text) { SetWindowTextA(g_status, text); }

// A caller-sized client area, whatever the frame's size under this theme.
void setClientSize(HWND h, int w, int hgt) {
  RECT r{0, 0, w, hgt};
  AdjustWindowRectEx(&r, GetWindowLongW(h, GWL_STYLE), FALSE, GetWindowLongW(h, GWL_EXSTYLE));
  SetWindowPos(h, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

LRESULT CALLBACK panelProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!g_tracking) {
        TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, h, 0};
        g_tracking = TrackMouseEvent(&t);
        SetWindowTextA(g_hoverLabel, "hovered");
      }
      return 0;
    case WM_MOUSELEAVE:
      g_tracking = false;
      SetWindowTextA(g_hoverLabel, "left");
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT r;
      GetClientRect(h, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_INFOBK));
      wchar_t text[64];
      GetWindowTextW(h, text, 64);
      DrawTextW(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(h, &ps);
      return 0;
    }
  }
  return DefWindowProcW(h, msg, w, l);
}

LRESULT CALLBACK optionsProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(w) == kApply && HIWORD(w) == BN_CLICKED) {
        SetWindowTextA(GetDlgItem(h, kOptionsStatus), "applied");
        status("options applied");
      }
      return 0;
    case WM_CLOSE:
      // Like a settings form: closing keeps it for the next opening.
      ShowWindow(h, SW_HIDE);
      return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}

void openOptions() {
  if (!g_options) {
    g_options = CreateWindowExW(0, L"E2ETargetOptions", L"E2E Options", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                60, 60, 100, 100, g_main, nullptr, g_inst, nullptr);
    name(g_options, "optionsForm");
    setClientSize(g_options, 240, 80);
    // Same name as the main form's label: tests tell them apart by their form.
    control(g_options, L"Static", L"not applied", 0, 10, 10, 220, 20, kOptionsStatus, "statusLabel");
    control(g_options, L"Button", L"Apply", BS_PUSHBUTTON, 10, 40, 100, 26, kApply, "applyButton");
  }
  ShowWindow(g_options, SW_SHOW);
}

void onCommand(HWND h, int id, int code) {
  switch (id) {
    case kHello:
      MessageBoxA(h, "Hello from the target", "E2E Target", MB_OK | MB_ICONINFORMATION);
      status("hello answered");
      break;
    case kAsk: {
      int r = MessageBoxA(h, "Do you agree?\nPlease answer.", "E2E Question", MB_YESNOCANCEL | MB_ICONQUESTION);
      status(r == IDYES ? "answer: yes" : r == IDNO ? "answer: no" : r == IDCANCEL ? "answer: cancel" : "answer: ?");
      break;
    }
    case kExtraCheck: {
      bool on = SendDlgItemMessageW(h, kExtraCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
      EnableWindow(g_extra, on);
      status(on ? "extra on" : "extra off");
      break;
    }
    case kExtra:
      status("extra clicked");
      break;
    case kManualCheck: {
      // BS_CHECKBOX: the program, not the button, flips the state.
      LRESULT s = SendDlgItemMessageW(h, kManualCheck, BM_GETCHECK, 0, 0);
      SendDlgItemMessageW(h, kManualCheck, BM_SETCHECK, s == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      status(s == BST_CHECKED ? "manual off" : "manual on");
      break;
    }
    case kList:
      if (code == LBN_SELCHANGE) {
        LRESULT i = SendMessageW(g_list, LB_GETCURSEL, 0, 0);
        char item[64] = "";
        if (i != LB_ERR) SendMessageA(g_list, LB_GETTEXT, i, (LPARAM)item);
        status((std::string("selected: ") + item).c_str());
      }
      break;
    case kStep: {
      SendMessageW(g_progress, PBM_DELTAPOS, 25, 0);
      LRESULT pos = SendMessageW(g_progress, PBM_GETPOS, 0, 0);
      status(("progress " + std::to_string(pos)).c_str());
      break;
    }
    case kRun:
      SendMessageW(g_progress, PBM_SETPOS, 0, 0);
      g_runTicks = 0;
      status("running");
      SetTimer(h, 1, 30, nullptr);
      break;
    case kOptions:
      openOptions();
      break;
    case kGrow:
      setClientSize(h, 500, 340);
      break;
  }
}

std::wstring seededGreeting() {
  wchar_t value[256] = L"";
  DWORD size = sizeof value - sizeof(wchar_t);
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvik\\E2ETarget", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return L"no seed";
  DWORD type = 0;
  LONG r = RegQueryValueExW(key, L"Greeting", nullptr, &type, (BYTE*)value, &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && type == REG_SZ ? value : L"no seed";
}

void logClosed() {
  HANDLE f = CreateFileW(L"C:\\e2e_target.log", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(f, "closed cleanly\n", 15, &written, nullptr);
  CloseHandle(f);
}

LRESULT CALLBACK mainProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  switch (msg) {
    case WM_COMMAND:
      onCommand(h, LOWORD(w), HIWORD(w));
      return 0;
    case WM_TIMER:
      SendMessageW(g_progress, PBM_DELTAPOS, 10, 0);
      if (++g_runTicks >= 10) {
        KillTimer(h, 1);
        status("run finished");
      }
      return 0;
    case WM_CLOSE:
      if (SendDlgItemMessageW(h, kConfirmCheck, BM_GETCHECK, 0, 0) == BST_CHECKED &&
          MessageBoxA(h, "Really quit?", "E2E Target", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        status("quit cancelled");
        return 0;
      }
      DestroyWindow(h);
      return 0;
    case WM_DESTROY:
      logClosed();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}

void registerClass(const wchar_t* cls, WNDPROC proc, int brush) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = g_inst;
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(INT_PTR)(brush + 1);
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
}

// The progress bar lives in comctl32, which this small program loads by hand
// rather than linking; the dialog font lives in gdi32, the same way.
void loadLibraries() {
  if (HMODULE cc = LoadLibraryW(L"comctl32.dll")) {
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (auto init = (InitFn)(void*)GetProcAddress(cc, "InitCommonControlsEx")) {
      INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
      init(&icc);
    }
  }
  if (HMODULE gdi = LoadLibraryW(L"gdi32.dll")) {
    using StockFn = HGDIOBJ(WINAPI*)(int);
    if (auto stock = (StockFn)(void*)GetProcAddress(gdi, "GetStockObject")) g_font = (HFONT)stock(DEFAULT_GUI_FONT);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "/quit=", 6) == 0) return std::atoi(argv[i] + 6);
    if (std::strcmp(argv[i], "/crash") == 0) *(volatile int*)nullptr = 1;
  }
  // Built as a console program; started from the desktop it must not keep a console.
  if (GetConsoleWindow()) FreeConsole();

  g_inst = GetModuleHandleW(nullptr);
  loadLibraries();
  registerClass(L"E2ETargetMain", mainProc, COLOR_BTNFACE);
  registerClass(L"E2ETargetOptions", optionsProc, COLOR_BTNFACE);
  registerClass(L"E2EPanel", panelProc, COLOR_INFOBK);

  g_main = CreateWindowExW(0, L"E2ETargetMain", L"E2E Target", WS_OVERLAPPEDWINDOW & ~WS_MAXIMIZEBOX & ~WS_THICKFRAME,
                           20, 20, 100, 100, nullptr, nullptr, g_inst, nullptr);
  name(g_main, "targetForm");
  setClientSize(g_main, 420, 300);

  g_status = control(g_main, L"Static", L"ready", 0, 10, 10, 400, 20, kStatus, "statusLabel");
  control(g_main, L"Button", L"Say hello", BS_PUSHBUTTON, 10, 40, 120, 26, kHello, "helloButton");
  control(g_main, L"Button", L"Ask", BS_PUSHBUTTON, 140, 40, 120, 26, kAsk, "askButton");
  control(g_main, L"Button", L"Options...", BS_PUSHBUTTON, 270, 40, 140, 26, kOptions, "optionsButton");
  control(g_main, L"Button", L"Enable extra", BS_AUTOCHECKBOX, 10, 76, 150, 22, kExtraCheck, "extraCheck");
  g_extra = control(g_main, L"Button", L"Extra", BS_PUSHBUTTON | WS_DISABLED, 170, 74, 100, 26, kExtra, "extraButton");
  control(g_main, L"Button", L"Manual", BS_CHECKBOX, 10, 104, 150, 22, kManualCheck, "manualCheck");
  control(g_main, L"Button", L"Confirm close", BS_AUTOCHECKBOX, 170, 104, 150, 22, kConfirmCheck, "confirmCheck");
  g_list = control(g_main, L"ListBox", L"", LBS_NOTIFY | WS_BORDER | WS_VSCROLL, 10, 132, 150, 80, kList, "fruitList");
  for (const wchar_t* item : {L"Apple", L"Banana", L"Cherry pie"}) SendMessageW(g_list, LB_ADDSTRING, 0, (LPARAM)item);
  HWND quiet = control(g_main, L"ListBox", L"", WS_BORDER, 330, 132, 80, 80, 0, "quietList");
  SendMessageW(quiet, LB_ADDSTRING, 0, (LPARAM)L"one");
  SendMessageW(quiet, LB_ADDSTRING, 0, (LPARAM)L"two");
  control(g_main, L"E2EPanel", L"Hover here", 0, 170, 132, 150, 50, kPanel, "hoverPanel");
  g_hoverLabel = control(g_main, L"Static", L"not hovered", 0, 170, 186, 150, 20, kHoverLabel, "hoverLabel");
  control(g_main, L"Static", seededGreeting().c_str(), 0, 310, 280, 100, 20, kSeed, "seedLabel");
  control(g_main, L"Static", L"Gr\u00FC\u00DFe", 0, 330, 220, 80, 20, kGreeting, "greeting");
  g_progress = control(g_main, PROGRESS_CLASSW, L"", 0, 10, 220, 300, 18, kProgress, "progressBar");
  control(g_main, L"Button", L"Step", BS_PUSHBUTTON, 10, 250, 90, 26, kStep, "stepButton");
  control(g_main, L"Button", L"Run", BS_PUSHBUTTON, 110, 250, 90, 26, kRun, "runButton");
  control(g_main, L"Button", L"Grow", BS_PUSHBUTTON, 210, 250, 90, 26, kGrow, "growButton");
  HWND hidden = control(g_main, L"Button", L"Hidden", BS_PUSHBUTTON, 310, 250, 90, 26, 0, "hiddenButton");
  ShowWindow(hidden, SW_HIDE);

  ShowWindow(g_main, SW_SHOW);
  UpdateWindow(g_main);

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (g_options && IsDialogMessageW(g_options, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return (int)m.wParam;
}
