// Comparisons of Windows names (paths, registry keys, INI names) as Windows
// makes them for ASCII: letters a-z match A-Z, every other byte must be the
// same, so text of any code page is never folded wrongly.
#pragma once
#include <optional>
#include <string_view>

namespace platform {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

constexpr bool SameAsciiCaseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

constexpr bool StartsAsciiCaseless(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && SameAsciiCaseless(text.substr(0, start.size()), start);
}

// The rest of path after folder and a backslash, or nullopt when path does
// not lie in folder; a trailing backslash of folder does not matter.
constexpr std::optional<std::string_view> Below(std::string_view path, std::string_view folder) {
  while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
  if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != '\\' ||
      !SameAsciiCaseless(path.substr(0, folder.size()), folder))
    return std::nullopt;
  return path.substr(folder.size() + 1);
}

}  // namespace platform
