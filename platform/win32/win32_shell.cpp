#include "platform/win32/win32_shell.h"

#include "platform/win32/win32_handles.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace platform::win32 {

bool Win32Shell::Open(const std::string& document) {
  auto wdocument = NameArg(document);
  if (document.empty() || !wdocument) return false;
  HINSTANCE result = ShellExecuteW(nullptr, L"open", wdocument->c_str(), nullptr, nullptr,
                                   SW_SHOWNORMAL);
  // Values up to 32 are error codes.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform::win32
