// The data files in the Windows folder and the numbered-slot scheme that
// every list file shares: one entry per section named "0", "1", "2", ...
#pragma once
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "registry/ini_store.h"

namespace registry {

// Lists are read over slots 0..kLastSlot; the white list, which the
// registry scan fills up to slot 500, over 0..kLastWhiteListSlot.
constexpr int kLastSlot = 250;
constexpr int kLastWhiteListSlot = 500;

constexpr const char* kWhiteListPath = "C:\\Windows\\list.vlt";
constexpr const char* kTrashcanPath = "C:\\Windows\\trashcan.vlt";
constexpr const char* kRemovedPath = "C:\\Windows\\removed.vlt";
constexpr const char* kBlackListPath = "C:\\Windows\\disallowed.vlt";
constexpr const char* kStatisticsPath = "C:\\Windows\\statistics.vlt";

// Free markers: what an empty slot's entry key reads back as.
constexpr const char* kMarkerErr = "err";
constexpr const char* kMarkerError = "error";

// Used when the user name cannot be had.
constexpr const char* kDefaultUserName = "default";

// "C:\Windows\<user>_config.vlt". Characters that cannot stand in a file
// name become '_', so that no name leads outside the Windows folder; an empty
// name (GetUserName failed) gives "C:\Windows\default_config.vlt".
std::string ConfigPath(std::string_view user_name);

// Whether a list can hold the text and give it back unchanged: at most
// IniStore::kMaxRead characters, no line break.
bool FitsInList(std::string_view text);

// The key of slot n, or marker when the slot (or the key) is missing.
std::string ReadSlot(IniStore& store, int slot, std::string_view key, std::string_view marker);
// Writes the keys into slot n in the order given.
void WriteSlot(IniStore& store, int slot,
               std::initializer_list<std::pair<std::string_view, std::string_view>> keys);
void EraseSlot(IniStore& store, int slot);
// The lowest slot in 0..last_slot whose key reads back exactly as marker, or
// -1 when every slot is in use. Calls pump (when given) before each slot it
// reads, so that the window stays responsive; it returns as soon as it has
// found a slot, so that no handler run by the pump can fill that slot before
// the caller writes it.
int FindFreeSlot(IniStore& store, std::string_view key, std::string_view marker, int last_slot,
                 const std::function<void()>& pump = {});

}  // namespace registry
