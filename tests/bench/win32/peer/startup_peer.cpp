// The start-up benchmark's yardstick: what any program of Veltrane's kind
// does to come up, written plainly. It starts as Veltrane does (the same
// manifest, the same system libraries), puts an icon in the notification
// area, shows a window with the controls of Veltrane's header, first page,
// help panel and navigation row, each kind as many times, and then a second
// window with the registry doctor's four progress bars. The benchmark times
// it from launch until that second window shows.
#include <windows.h>
// After <windows.h>, which they need.
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <uxtheme.h>
#include <wininet.h>

#include <string>

namespace {

// One function of each library veltrane.exe imports: Wine loads and starts
// each of them before the program runs, which is part of a start's cost.
const void* const kImports[] = {
    reinterpret_cast<const void*>(&InitCommonControlsEx), reinterpret_cast<const void*>(&Shell_NotifyIconW),
    reinterpret_cast<const void*>(&RegOpenKeyExW),        reinterpret_cast<const void*>(&CoInitializeEx),
    reinterpret_cast<const void*>(&SysAllocString),       reinterpret_cast<const void*>(&InternetCloseHandle),
    reinterpret_cast<const void*>(&SetWindowTheme),       reinterpret_cast<const void*>(&CreateFontW),
};

constexpr wchar_t kFormClass[] = L"PeerForm", kPanelClass[] = L"PeerPanel";
constexpr int kWidth = 524, kRolledUp = 101;

HINSTANCE g_instance;
HFONT g_title, g_text, g_bold;

LRESULT CALLBACK FormProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}

// A panel draws its background and its caption itself, as Veltrane's do.
LRESULT CALLBACK PanelProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_ERASEBKGND) return 1;
  if (msg != WM_PAINT) return DefWindowProcW(h, msg, w, l);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT rc;
  GetClientRect(h, &rc);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
  HGDIOBJ old_bitmap = SelectObject(mem, bitmap);
  HBRUSH back = CreateSolidBrush(COLORREF(GetWindowLongPtrW(h, GWLP_USERDATA)));
  FillRect(mem, &rc, back);
  DeleteObject(back);
  wchar_t text[256];
  const int n = GetWindowTextW(h, text, 256);
  HGDIOBJ old_font = SelectObject(mem, HGDIOBJ(SendMessageW(h, WM_GETFONT, 0, 0)));
  SetBkMode(mem, TRANSPARENT);
  DrawTextW(mem, text, n, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(mem, old_font);
  BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(mem);
  EndPaint(h, &ps);
  return 0;
}

void Register(const wchar_t* name, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = g_instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(g_instance, L"MAINICON");
  wc.hbrBackground = HBRUSH(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

// Named as Veltrane names its controls, for tools that look for them.
HWND Child(HWND parent, const wchar_t* cls, DWORD style, const wchar_t* name, const wchar_t* text, int x, int y,
           int cx, int cy, HFONT font, COLORREF back = RGB(0xFF, 0xFF, 0xFF)) {
  HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, parent, nullptr, g_instance,
                           nullptr);
  SetPropW(h, L"ControlName", HANDLE(UINT_PTR(GlobalAddAtomW(name))));
  SendMessageW(h, WM_SETFONT, WPARAM(font), FALSE);
  SetWindowLongPtrW(h, GWLP_USERDATA, LONG_PTR(back));
  return h;
}

HWND Panel(HWND parent, const wchar_t* name, const wchar_t* text, int x, int y, int cx, int cy, COLORREF back,
           HFONT font) {
  return Child(parent, kPanelClass, WS_CLIPCHILDREN, name, text, x, y, cx, cy, font, back);
}
HWND Label(HWND parent, const wchar_t* name, const wchar_t* text, int x, int y, int cx, int cy) {
  return Child(parent, L"Static", SS_LEFT | SS_NOPREFIX, name, text, x, y, cx, cy, g_text);
}
HWND Button(HWND parent, const wchar_t* name, const wchar_t* text, int x, int y) {
  return Child(parent, L"Button", BS_PUSHBUTTON | WS_TABSTOP, name, text, x, y, 62, 25, g_text);
}

HWND TopLevel(const wchar_t* name, const wchar_t* caption, int cx, int cy) {
  RECT rc{0, 0, cx, cy};
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  AdjustWindowRectEx(&rc, style, FALSE, 0);
  HWND h = CreateWindowExW(0, kFormClass, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, rc.right - rc.left,
                           rc.bottom - rc.top, nullptr, nullptr, g_instance, nullptr);
  SetPropW(h, L"ControlName", HANDLE(UINT_PTR(GlobalAddAtomW(name))));
  return h;
}

// The header bands, the page book with the first page, the help panel and
// the navigation row: 9 panels, 5 labels, 12 buttons, 6 check boxes, a page
// book and a page.
HWND MainWindow() {
  HWND form = TopLevel(L"velmain", L"Veltrane", kWidth, kRolledUp);
  HWND header = Panel(form, L"naglowek", L"Veltrane", 0, 0, kWidth, 49, RGB(0xFF, 0xFF, 0xFB), g_title);
  Label(header, L"wersja", L"Loading...", 414, 29, 104, 17);
  Panel(form, L"haslo", L"Veltrane protects you against useless programs", 0, 49, kWidth, 12,
        RGB(0xF9, 0x9E, 0x68), g_text);
  Panel(form, L"status", L"  Loading program... please be patient...", 0, 61, kWidth, 24, RGB(0x30, 0x56, 0x8F),
        g_bold);
  Child(form, L"Button", BS_PUSHBUTTON, L"rolldownbtn", L"Click here to roll down the menu", 0, 84, 525, 17, g_text);

  HWND book = Panel(form, L"silnik", L"", 0, 100, 349, 341, RGB(0xFF, 0xFF, 0xFF), g_text);
  HWND page = Panel(book, L"glowna", L"", 0, 0, 349, 341, RGB(0xFF, 0xFF, 0xFF), g_text);
  HWND top = Panel(page, L"glowna_gora", L"", 0, 0, 349, 205, RGB(0xFF, 0xFF, 0xFF), g_text);
  Panel(top, L"glowna_gora_tytul", L"System protection", 0, 0, 349, 20, RGB(0x9C, 0xB4, 0xD8), g_bold);
  const wchar_t* const settings[][2] = {
      {L"auto_start", L"Run program on Windows startup (recommended)"},
      {L"auto_skan_rejestru", L"Scan registry on program startup (recommended)"},
      {L"auto_skan_pamieci", L"Scan system on program startup (recommended)"},
      {L"auto_skan_koncowy", L"Scan registry on program exit (recommended)"},
      {L"auto_skan_zywy", L"Live autostart test"},
      {L"auto_skan_co_godzine", L"Make a default scan every hour"},
  };
  int y = 28;
  for (const auto& setting : settings) {
    HWND box = Child(top, L"Button", BS_CHECKBOX | WS_TABSTOP, setting[0], setting[1], 10, y, 329, 17, g_text);
    SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
    y += 21;
  }
  Button(top, L"Button7", L"Save", 264, 170);
  HWND bottom = Panel(page, L"glowna_dol", L"", 0, 207, 349, 134, RGB(0xD5, 0xF7, 0xCC), g_text);
  Panel(bottom, L"glowna_dol_tytul", L"Scanning", 0, 0, 349, 20, RGB(0xA7, 0xEC, 0x7D), g_bold);
  Label(bottom, L"Label1", L"Perform a full system check periodically.", 10, 30, 329, 14);
  Label(bottom, L"Label2",
        L"You must scan your system perdiodically to make sure\r\nits free of illegitimate programs.", 10, 50, 329, 28);
  Button(bottom, L"Button1", L"Scan now", 264, 96);

  HWND help = Panel(form, L"pomoc_panel", L"", 349, 100, 177, 333, RGB(0xFF, 0xFF, 0xDF), g_text);
  Panel(help, L"pomoc_tytul", L"Help", 0, 0, 177, 20, RGB(0xFE, 0xD2, 0x6B), g_bold);
  Label(help, L"pomoc", L"Veltrane can be used as protection against not needed programs.", 8, 28, 161, 257);
  Button(help, L"Button2", L"Help", 51, 296);

  const wchar_t* const navigation[][2] = {
      {L"Button3", L"Main page"}, {L"Button4", L"Scan page"}, {L"Button16", L"Memory"}, {L"Button5", L"Trashcan"},
      {L"Button25", L"Registry"}, {L"Button17", L"Lists"},    {L"Button6", L"Close"},   {L"Button8", L"Update"},
  };
  int x = 3;
  for (const auto& button : navigation) {
    Button(form, button[0], button[1], x, 440);
    x += 65;
  }
  Label(form, L"Label6", L"Veltrane is free software by Quorvik. You use it at your own risk.", 6, 472, 512, 13);
  return form;
}

// The registry doctor: a header, its two labels and four progress bars.
HWND DoctorWindow() {
  constexpr int kDoctorWidth = 285, kDoctorHeight = 186;
  HWND form = TopLevel(L"doktor", L"Veltrane - registry doctor", kDoctorWidth, kDoctorHeight);
  Panel(form, L"naglowek", L"Registry Doctor", 0, 0, kDoctorWidth, 26, RGB(0xFC, 0xF7, 0xCF), g_bold);
  Label(form, L"opis", L"Program is now correcting damaged parts of the registry. Please wait...", 8, 32,
        kDoctorWidth - 16, 54);
  Label(form, L"postep_tytul", L"Progress:", 8, 90, 120, 14);
  for (int i = 0, top = 106; i < 4; ++i, top += 19) {
    HWND bar = Child(form, PROGRESS_CLASSW, 0, i == 0 ? L"postep" : (L"postep" + std::to_wstring(i + 1)).c_str(),
                     L"", 8, top, kDoctorWidth - 16, 14, g_text);
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar, PBM_SETPOS, 100, 0);
  }
  return form;
}

void AddTrayIcon(HWND owner) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner;
  nid.uID = 1;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_APP;
  nid.hIcon = LoadIconW(g_instance, L"MAINICON");
  lstrcpynW(nid.szTip, L"Veltrane - registry protection", ARRAYSIZE(nid.szTip));
  Shell_NotifyIconW(NIM_ADD, &nid);
}

HFONT Font(const wchar_t* face, int points, bool bold) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  g_instance = instance;
  // Read where the compiler cannot drop them, so that the imports stay.
  static const void* volatile sink;
  for (const void* f : kImports) sink = f;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  g_title = Font(L"Stencil", 28, true);
  g_text = Font(L"Verdana", 8, false);
  g_bold = Font(L"Tahoma", 10, true);
  Register(kFormClass, FormProc, 0);
  Register(kPanelClass, PanelProc, CS_HREDRAW | CS_VREDRAW);

  HWND main = MainWindow();
  if (!main) return 1;
  AddTrayIcon(main);
  ShowWindow(main, SW_SHOWNORMAL);
  UpdateWindow(main);
  HWND doctor = DoctorWindow();
  if (!doctor) return 1;
  EnableWindow(main, FALSE);  // as a modal form does
  ShowWindow(doctor, SW_SHOWNORMAL);
  UpdateWindow(doctor);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
