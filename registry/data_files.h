// The data files in the Windows folder and the numbered-slot scheme that
// every list file shares: one entry per section named "0", "1", "2", ...
// Each list names its file, its slots and the keys of an entry once, here.
// Every copy of the program (one per signed-in person) shares the files:
// each change takes the lock file's lock (IniStore::Change).
#pragma once
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system.h"
#include "registry/ini_store.h"

namespace registry {

// Lists are read over slots 0..kLastSlot; the white list, which the
// registry scan fills up to slot 500, over 0..white_list::kLastSlot.
constexpr int kLastSlot = 250;

// The autostart entries the person allowed.
namespace white_list {
constexpr std::string_view kDataFile = "list.vlt";
constexpr int kLastSlot = 500;
// The allowed data: what matching reads, and what makes a slot used.
constexpr std::string_view kCommand = "wartosc";
constexpr std::string_view kNumber = "numer";
constexpr std::string_view kName = "nazwa";
// "HKLM_run" whatever the key, as it always has been.
constexpr std::string_view kSection = "sekcja";
// "32-bit" for an entry allowed from the 32-bit registry view.
constexpr std::string_view kView = "widok";
// The section text of the place it was allowed from, unless a Run key.
constexpr std::string_view kPlace = "miejsce";
}  // namespace white_list

// The programs the person forbade to run.
namespace black_list {
constexpr std::string_view kDataFile = "disallowed.vlt";
constexpr std::string_view kProgram = "sciezka";
}  // namespace black_list

// The programs moved into the trashcan folder.
namespace trashcan_list {
constexpr std::string_view kDataFile = "trashcan.vlt";
// Where the program lay; what makes a slot used.
constexpr std::string_view kFormerPath = "sciezka";
// Its file's name in the trashcan folder. Slots written before it existed
// mean the file name of kFormerPath.
constexpr std::string_view kFileName = "plik";
}  // namespace trashcan_list

// The autostart values the scans deleted, to be put back ("Registry" page).
namespace statistics {
constexpr std::string_view kDataFile = "statistics.vlt";
// The value's data, as slots have always held it: what the list shows.
constexpr std::string_view kData = "wartosc";
constexpr std::string_view kRoot = "korzen";
constexpr std::string_view kKey = "klucz";
constexpr std::string_view kView = "widok";
constexpr std::string_view kName = "nazwa";
// A name that holds a NUL, which no list can: kName shows it with "<NUL>",
// and this key keeps it whole, its bytes in hexadecimal.
constexpr std::string_view kNameHex = "nazwa_hex";
constexpr std::string_view kType = "typ";
// A disabled service's record: its name and command, which the list shows;
// what the list shows of the records below too.
constexpr std::string_view kDescription = "opis";
// A line of a multi-string: its bytes in hexadecimal (kData shows it), and
// its position among the value's lines before any recorded deletion.
constexpr std::string_view kDataHex = "wartosc_hex";
constexpr std::string_view kPosition = "pozycja";
// A second value deleted with the first, as one entry.
constexpr std::string_view kAlsoName = "nazwa_2";
constexpr std::string_view kAlsoType = "typ_2";
constexpr std::string_view kAlsoData = "wartosc_2";
// A deleted task's record: its place's section text, and the name of the
// copy of its file in the trashcan folder's Tasks subfolder.
constexpr std::string_view kPlace = "miejsce";
constexpr std::string_view kCopy = "plik";
}  // namespace statistics

// The lock of all the data files, which every copy takes around a change.
constexpr std::string_view kLockFile = "veltrane.lck";

// Used when the user name cannot be had.
constexpr const char* kDefaultUserName = "default";

// The data files in the Windows folder, opened by the start-up and kept
// until the program ends; every change of one takes their shared lock.
struct DataFiles {
  DataFiles(platform::Files& files, std::string_view windows_folder, std::string_view user_name);
  StoreLock lock;       // C:\Windows\veltrane.lck
  IniStore white_list;  // C:\Windows\list.vlt
  IniStore black_list;  // C:\Windows\disallowed.vlt
  IniStore trashcan;    // C:\Windows\trashcan.vlt
  IniStore statistics;  // C:\Windows\statistics.vlt
  IniStore config;      // C:\Windows\<user>_config.vlt
  IniStore baseline;    // C:\Windows\baseline.vlt, what the first scan of the tasks and services found
};

// A file in the Windows folder: "C:\Windows" and "list.vlt" give
// "C:\Windows\list.vlt".
std::string DataPath(std::string_view windows_folder, std::string_view file);

// "C:\Windows\<user>_config.vlt". Characters that cannot stand in a file
// name become '_', so that no name leads outside the Windows folder; an empty
// name (GetUserName failed) gives "C:\Windows\default_config.vlt".
std::string ConfigPath(std::string_view windows_folder, std::string_view user_name);

// The trashcan folder, "<Program Files>\Quorvik\Veltrane\Trashcan\", in the
// native Program Files folder that Windows names. Deleted tasks' files are
// kept in its Tasks subfolder.
std::string TrashcanFolder(platform::System& system);

// Whether a list can hold the text and give it back unchanged: at most
// IniStore::kMaxRead characters, no line break.
bool FitsInList(std::string_view text);

// The key of slot n; nullopt when the slot (or the key) is missing.
std::optional<std::string> ReadSlot(IniStore& store, int slot, std::string_view key);
// The key of every slot 0..last_slot, read in one batch.
std::vector<std::optional<std::string>> ReadSlots(IniStore& store, std::string_view key, int last_slot);
// Writes the keys into slot n in the order given, in one replacement of the
// file: no reader ever sees half an entry.
using SlotKeys = std::vector<std::pair<std::string_view, std::string_view>>;
void WriteSlot(IniStore& store, int slot, const SlotKeys& keys);
void EraseSlot(IniStore& store, int slot);
// The lowest slot in 0..last_slot without the key, or -1 when every slot is
// in use. Found inside the IniStore::Change of the write that takes it, so
// that no other copy takes it first.
int FindFreeSlot(IniStore& store, std::string_view key, int last_slot);

}  // namespace registry
