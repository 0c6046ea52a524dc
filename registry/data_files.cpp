#include "registry/data_files.h"

#include "platform/utf.h"

namespace registry {

std::string DataPath(std::string_view windows_folder, std::string_view file) {
  std::string path(windows_folder);
  if (!path.ends_with('\\')) path += '\\';  // a folder at the drive's root: "D:\"
  return path.append(file);
}

std::string ConfigPath(std::string_view windows_folder, std::string_view user_name) {
  std::string name(user_name.empty() ? std::string_view(kDefaultUserName) : user_name);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
      c = '_';
  }
  return DataPath(windows_folder, name + "_config.vlt");
}

std::string TrashcanFolder(platform::System& system) {
  return system.ProgramFilesFolder() + "\\Quorvik\\Veltrane\\Trashcan\\";
}

bool FitsInList(std::string_view text) {
  return platform::Utf16Units(text) <= IniStore::kMaxRead && platform::IsUtf8(text) &&
         text.find_first_of("\r\n") == std::string_view::npos;
}

std::optional<std::string> ReadSlot(IniStore& store, int slot, std::string_view key) {
  return store.Find(std::to_string(slot), key);
}

std::vector<std::optional<std::string>> ReadSlots(IniStore& store, std::string_view key, int last_slot) {
  IniStore::Batch batch(store);
  std::vector<std::optional<std::string>> slots;
  slots.reserve(size_t(last_slot) + 1);
  for (int n = 0; n <= last_slot; ++n) slots.push_back(ReadSlot(store, n, key));
  return slots;
}

void WriteSlot(IniStore& store, int slot, const SlotKeys& keys) {
  const std::string section = std::to_string(slot);
  std::vector<IniStore::Write> writes;
  for (const auto& [key, value] : keys) writes.push_back({section, key, value});
  store.WriteStrings(writes);
}

void EraseSlot(IniStore& store, int slot) { store.EraseSection(std::to_string(slot)); }

int FindFreeSlot(IniStore& store, std::string_view key, int last_slot) {
  IniStore::Batch batch(store);
  for (int n = 0; n <= last_slot; ++n)
    if (!ReadSlot(store, n, key)) return n;
  return -1;
}

DataFiles::DataFiles(platform::Files& files, std::string_view windows, std::string_view user_name)
    : lock(files, DataPath(windows, kLockFile)),
      white_list(files, DataPath(windows, white_list::kDataFile), &lock),
      black_list(files, DataPath(windows, black_list::kDataFile), &lock),
      trashcan(files, DataPath(windows, trashcan_list::kDataFile), &lock),
      statistics(files, DataPath(windows, statistics::kDataFile), &lock),
      config(files, ConfigPath(windows, user_name), &lock),
      baseline(files, DataPath(windows, "baseline.vlt"), &lock) {}

}  // namespace registry
