// The lists page's "Remove": takes the selected text off its data file.
#pragma once
#include <string_view>

#include "registry/ini_store.h"
#include "toolkit/control.h"

namespace registry {

inline constexpr std::string_view kConfirmRemoval = "You are removing this item from the list. Are you sure?";
inline constexpr std::string_view kItemRemoved = "Item removed.";

// After the user confirms, erases every slot 0..last_slot whose key holds
// the selected item's text exactly, with one "Item removed." for each. The
// list item carries only its text, so the slots are found again by it.
void RemoveSelectedItem(const tk::ListBox& list, IniStore& store, std::string_view key, int last_slot);

}  // namespace registry
