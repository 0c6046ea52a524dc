// The lists an administrator sets for every machine of a domain through
// Group Policy: the text values under Allowed count as white-list entries,
// those under Forbidden as black-list entries. They take part in matching
// beside the person's own lists and are never written into them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "registry/context.h"

namespace registry::policy {

// Below HKEY_LOCAL_MACHINE; 64-bit Windows shares SOFTWARE\Policies between
// its registry views, so the native view is read.
inline constexpr std::string_view kAllowedKey = "Software\\Policies\\Quorvik\\Veltrane\\Allowed";
inline constexpr std::string_view kForbiddenKey = "Software\\Policies\\Quorvik\\Veltrane\\Forbidden";

// What the lists page shows after an entry of the policy.
inline constexpr std::string_view kMark = " (policy)";
inline constexpr std::string_view kCannotRemove =
    "This entry is set by your administrator's policy and cannot be removed here.";
inline constexpr std::string_view kCannotAllow =
    "This program is forbidden by your administrator's policy and cannot be allowed here.";

inline constexpr std::string_view kWindowsNeedsPolicy =
    "This program is forbidden by your administrator's policy, but Windows needs it. Ask your administrator to "
    "correct the policy.";

// The text of every value of the key, in the key's order, each up to its
// first NUL; values of other types and empty ones set nothing. Nothing when
// the key is missing, or when Windows refused to let it be read.
struct PolicyList {
  std::vector<std::string> entries;
  bool refused = false;
};
PolicyList Read(platform::Registry& registry, std::string_view key);
// The same, a refusal told through the context (once per run).
std::vector<std::string> ReadEntries(Context& context, std::string_view key);

}  // namespace registry::policy
