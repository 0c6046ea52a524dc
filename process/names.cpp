#include "process/names.h"

#include <optional>

namespace process {
namespace {

using platform::Below;

bool IsExeAt(std::string_view text, size_t i) {
  return i + 4 <= text.size() && SameAsciiCaseless(text.substr(i, 4), ".exe");
}

// What may follow the ".exe" that ends an executable part.
bool EndsPart(char c) { return c == ' ' || c == '\t' || c == '"'; }

// Where the first ".exe" (any case) that ends the text or that a blank or a
// quote follows begins, or npos.
size_t FindExe(std::string_view text) {
  for (size_t i = 0; i + 4 <= text.size(); ++i) {
    if (IsExeAt(text, i) && (i + 4 == text.size() || EndsPart(text[i + 4]))) return i;
  }
  return std::string_view::npos;
}

// Hosts of the system folders.
constexpr std::string_view kHosts[] = {"rundll32.exe", "regsvr32.exe", "cmd.exe",     "wscript.exe", "cscript.exe",
                                       "mshta.exe",    "conhost.exe",  "dllhost.exe", "svchost.exe"};
constexpr std::string_view kCritical[] = {"smss.exe",     "csrss.exe",    "wininit.exe",
                                          "winlogon.exe", "services.exe", "lsass.exe"};

template <size_t N>
bool OneOf(std::string_view name, const std::string_view (&names)[N]) {
  for (std::string_view n : names)
    if (SameAsciiCaseless(name, n)) return true;
  return false;
}

}  // namespace

std::string_view FileNameOf(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view ExecutablePart(std::string_view entry) {
  if (!entry.empty() && entry.front() == '"') {
    std::string_view inside = entry.substr(1);
    return inside.substr(0, inside.find('"'));  // unclosed: the rest
  }
  size_t exe = FindExe(entry);
  return exe == std::string_view::npos ? entry : entry.substr(0, exe + 4);
}

bool IsWindowsHost(std::string_view path, const WindowsPlaces& windows) {
  std::optional<std::string_view> rest = Below(path, windows.folder);
  if (!rest) return false;
  if (SameAsciiCaseless(*rest, "explorer.exe")) return true;
  for (std::string_view system : {"System32", "SysWOW64"}) {
    if (system == "SysWOW64" && !windows.has_syswow64) continue;
    std::optional<std::string_view> inside = Below(*rest, system);
    if (inside && (OneOf(*inside, kHosts) || SameAsciiCaseless(*inside, "WindowsPowerShell\\v1.0\\powershell.exe")))
      return true;
  }
  return false;
}

bool IsWindowsCritical(std::string_view path, std::string_view windows_folder) {
  std::optional<std::string_view> rest = Below(path, windows_folder);
  if (!rest) return false;
  std::optional<std::string_view> name = Below(*rest, "System32");
  return name && OneOf(*name, kCritical);
}

bool EntryForbids(std::string_view entry, std::string_view path, const WindowsPlaces& windows) {
  if (SameAsciiCaseless(entry, path)) return true;
  return EntryNamesProgram(entry, path) && !IsWindowsHost(path, windows);
}

bool EntryNamesProgram(std::string_view entry, std::string_view path) {
  if (SameAsciiCaseless(entry, path)) return true;
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
  if (entry.size() == path.size()) return true;
  // The entry goes on after the path. Its part ends inside the path when the
  // path holds an ".exe" that a blank or a quote follows; else it ends just
  // after the path only when the path ends in ".exe" and a blank or a quote
  // comes next; else it ends later, or it is the whole longer entry.
  size_t exe = FindExe(path);
  if (exe == std::string_view::npos || exe + 4 != path.size()) return false;
  return EndsPart(entry[path.size()]);
}

}  // namespace process
