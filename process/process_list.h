// The list of running programs on page pamiec: one full executable path per
// line, in the system's order.
#pragma once
#include <string>
#include <string_view>
#include <vector>
#include "platform/processes.h"

namespace process {

// One enumeration looks at no more ids than a 4100-byte buffer holds.
constexpr size_t kMaxProcessIds = 1025;

// A path as the list shows it: whole, never cut (a cut path would name
// another file), up to a NUL should one ever come.
std::string ListedPath(std::string_view raw);

// The path of every process that can be inspected; none when no process ids
// could be had.
std::vector<std::string> ProcessPaths(platform::Processes& processes);

}  // namespace process
