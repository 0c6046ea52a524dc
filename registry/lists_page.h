// The lists page's "Remove": takes an entry off its data file.
#pragma once
#include <string>
#include <string_view>

#include "registry/context.h"
#include "registry/ini_store.h"

namespace registry {

inline constexpr std::string_view kConfirmRemoval = "You are removing this item from the list. Are you sure?";
inline constexpr std::string_view kItemRemoved = "Item removed.";

// After the person confirms, erases every slot 0..last_slot whose key holds
// the text exactly, with one "Item removed." for each. A list line carries
// only its text, so the slots are found again by it.
void RemoveListEntry(Context& host, const std::string& text, IniStore& store, std::string_view key,
                     int last_slot);

}  // namespace registry
