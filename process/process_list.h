// The list of running programs on page pamiec: one full executable path per
// line, in the system's order.
#pragma once
#include <string>
#include <string_view>
#include "platform/processes.h"
#include "toolkit/control.h"

namespace process {

// One enumeration looks at no more ids than a 4100-byte buffer holds.
constexpr size_t kMaxProcessIds = 1025;
// The path buffer's size; a longer path is cut to it.
constexpr size_t kMaxPathChars = 261;

// A path as the list shows it: up to its first NUL, cut to the buffer.
std::string ListedPath(std::string_view raw);

// Clears target, then adds the path of every process that can be inspected.
// False when no process ids could be had (the list then stays empty).
bool RefreshProcessList(platform::Processes& processes, tk::ListBox& target);

}  // namespace process
