// The UTF-8 <-> UTF-16 boundary of the Windows backends: the logic keeps
// UTF-8, the system is called through its wide functions.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/utf.h"

namespace platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide text is UTF-16");

// nullopt for text that is not UTF-8: names that are acted on are never
// guessed at.
inline std::optional<std::wstring> WideExact(std::string_view utf8) {
  auto u = Utf16Exact(utf8);
  if (!u) return std::nullopt;
  return std::wstring(u->begin(), u->end());
}

// For captions and other text that is only shown.
inline std::wstring Wide(std::string_view utf8) {
  std::u16string u = Utf16(utf8);
  return std::wstring(u.begin(), u.end());
}

inline std::string Utf8(std::wstring_view wide) {
  return platform::Utf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

inline std::string Utf8(const wchar_t* wide, size_t length) { return Utf8(std::wstring_view(wide, length)); }

}  // namespace platform::win32
