#include "process/names.h"

namespace process {
namespace {

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Where the first ".exe" (any case) begins, or npos.
size_t FindExe(std::string_view text) {
  for (size_t i = 0; i + 4 <= text.size(); ++i) {
    if (text[i] == '.' && Upper(text[i + 1]) == 'E' && Upper(text[i + 2]) == 'X' &&
        Upper(text[i + 3]) == 'E')
      return i;
  }
  return std::string_view::npos;
}

}  // namespace

std::string_view FileNameOf(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

bool SameAsciiCaseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::string_view ExecutablePart(std::string_view entry) {
  if (!entry.empty() && entry.front() == '"') {
    std::string_view inside = entry.substr(1);
    return inside.substr(0, inside.find('"'));  // unclosed: the rest
  }
  size_t exe = FindExe(entry);
  return exe == std::string_view::npos ? entry : entry.substr(0, exe + 4);
}

bool EntryNamesProgram(std::string_view entry, std::string_view path) {
  // Only the first path.size() bytes of the entry are compared; what follows
  // them decides where the executable part ends.
  if (!entry.empty() && entry.front() == '"') {
    std::string_view inside = entry.substr(1);
    if (inside.size() < path.size() || !SameAsciiCaseless(inside.substr(0, path.size()), path))
      return false;
    // The part ends at the first quote: inside the path would be too early.
    if (path.find('"') != std::string_view::npos) return false;
    return inside.size() == path.size() || inside[path.size()] == '"';
  }
  if (entry.size() < path.size() || !SameAsciiCaseless(entry.substr(0, path.size()), path))
    return false;
  // The entry begins with the path, so its first ".exe" is the path's when
  // the path has one; otherwise any ".exe" of the entry ends past the path.
  size_t exe = FindExe(path);
  if (exe != std::string_view::npos) return exe + 4 == path.size();
  return entry.size() == path.size();
}

}  // namespace process
