// Sleeps until killed; tests use it as a process to find and stop, and as
// another program that takes a program's names before it does:
//   waiter /mutex=NAME ...                  first creates and holds each named mutex
//   waiter /window=CLASS:CAPTION /answer=MESSAGE:VALUE
//                                           shows a hidden top-level window that
//                                           returns VALUE to the registered MESSAGE
#include <windows.h>

#include <cstdlib>
#include <string>
#include <tuple>

namespace {

UINT g_message;
LRESULT g_answer;

LRESULT CALLBACK windowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (g_message && msg == g_message) return g_answer;
  return DefWindowProcW(h, msg, w, l);
}

// "A:B" split at its first colon; B is empty without one.
std::pair<std::wstring, std::wstring> split(const std::wstring& text) {
  size_t colon = text.find(L':');
  if (colon == std::wstring::npos) return {text, L""};
  return {text.substr(0, colon), text.substr(colon + 1)};
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring window_class, caption;
  for (int i = 1; argv && i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg.rfind(L"/mutex=", 0) == 0) {
      if (!CreateMutexW(nullptr, TRUE, arg.substr(7).c_str())) return 1;
    } else if (arg.rfind(L"/window=", 0) == 0) {
      std::tie(window_class, caption) = split(arg.substr(8));
    } else if (arg.rfind(L"/answer=", 0) == 0) {
      auto [message, value] = split(arg.substr(8));
      g_message = RegisterWindowMessageW(message.c_str());
      g_answer = LRESULT(wcstoll(value.c_str(), nullptr, 0));
    }
  }
  if (window_class.empty()) {
    for (;;) Sleep(1000);
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = window_class.c_str();
  if (!RegisterClassW(&wc)) return 1;
  if (!CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, caption.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                       wc.hInstance, nullptr))
    return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
