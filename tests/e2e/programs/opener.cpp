// Stands in for the program Windows opens a document with: appends its
// command line (UTF-8) to C:\opened.txt and ends.
#include <windows.h>

#include <string>

int main() {
  const wchar_t* line = GetCommandLineW();
  int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string text(n > 0 ? size_t(n - 1) : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), n, nullptr, nullptr);
  text += "\r\n";
  HANDLE log = CreateFileW(L"C:\\opened.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(log, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(log);
  return 0;
}
