#include "process/trashcan.h"

#include <memory>
#include <vector>

#include "process/memory_scan.h"
#include "process/names.h"
#include "registry/data_files.h"

namespace process {
namespace {

using registry::trashcan_list::kFileName;
using registry::trashcan_list::kFormerPath;
// How many programs of one file name the trashcan keeps apart.
constexpr int kMaxSameName = 1000;

constexpr const char* kTrashcanFull = "The trashcan is full. Empty some of its items first; this program was not moved.";

// A slot of the trashcan list, read from one version of the file.
struct Record {
  std::optional<std::string> former_path, file_name;
  bool operator==(const Record&) const = default;
};

Record ReadRecord(registry::IniStore& trashcan, int slot) {
  registry::IniStore::Batch batch(trashcan);
  return {registry::ReadSlot(trashcan, slot, kFormerPath), registry::ReadSlot(trashcan, slot, kFileName)};
}

// Erases the slot only while it holds the record acted on: another copy may
// have changed it meanwhile.
void EraseRecord(registry::IniStore& trashcan, int slot, const Record& record) {
  registry::IniStore::Change change(trashcan);
  if (ReadRecord(trashcan, slot) == record) registry::EraseSlot(trashcan, slot);
}

// The file a slot keeps in the trashcan folder, by its file name or, in
// slots written before that was recorded, by the file name of its path.
std::optional<std::string> HeldFile(std::string_view folder, const Record& record) {
  const std::string name = record.file_name.value_or("");
  return name.empty() ? TrashPathOf(folder, *record.former_path) : TrashPathOfName(folder, name);
}

// A name in the trashcan folder that no slot records and no file there has.
std::optional<std::string> FreeTrashName(registry::Context& host, std::string_view folder, std::string_view name) {
  registry::IniStore& trashcan = host.Data().trashcan;
  std::vector<std::string> taken;
  {
    registry::IniStore::Batch batch(trashcan);
    for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
      const std::optional<std::string> recorded = registry::ReadSlot(trashcan, slot, kFormerPath);
      if (!recorded) continue;
      const std::string held = registry::ReadSlot(trashcan, slot, kFileName).value_or("");
      taken.push_back(held.empty() ? std::string(FileNameOf(*recorded)) : held);
    }
  }
  for (int n = 1; n <= kMaxSameName; ++n) {
    const std::string candidate = n == 1 ? std::string(name) : NumberedName(name, n);
    std::optional<std::string> target = TrashPathOfName(folder, candidate);
    if (!target) return std::nullopt;
    // File names differ in more than ASCII case only; the file check covers the rest.
    bool recorded = false;
    for (const std::string& t : taken) recorded = recorded || SameAsciiCaseless(t, candidate);
    if (!recorded && !host.Platform().files.Exists(*target)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TrashPathOfName(std::string_view folder, std::string_view name) {
  // Windows drops trailing dots and blanks, so such a name is the folder itself.
  if (name.find_first_not_of(". ") == std::string_view::npos || name.find_first_of("/\\:") != std::string_view::npos)
    return std::nullopt;
  return std::string(folder) + std::string(name);
}

std::optional<std::string> TrashPathOf(std::string_view folder, const std::string& path) {
  return TrashPathOfName(folder, FileNameOf(path));
}

std::string NumberedName(std::string_view name, int n) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) dot = name.size();
  return std::string(name.substr(0, dot)) + " (" + std::to_string(n) + ")" + std::string(name.substr(dot));
}

bool MoveToTrashcan(registry::Context& host, const std::string& path) {
  if (WindowsNeeds(host.Platform().processes, path)) {
    host.Warn(kWindowsNeedsIt);
    host.Log(events::kRefusedToAct, {path});
    return false;
  }
  if (registry::FindFreeSlot(host.Data().trashcan, kFormerPath, registry::kLastSlot) < 0) {
    host.Warn(kTrashcanFull);
    return false;
  }
  return StopAndMoveToTrashcan(host, path);
}

bool StopAndMoveToTrashcan(registry::Context& host, const std::string& path) {
  // Opened before the stop, so that what is copied and deleted is the file
  // that ran, not one a swapped folder leads to afterwards.
  std::unique_ptr<platform::HeldFile> file = host.Platform().files.Hold(path);
  // A running program's file cannot be moved, and must not be copied as if it had been.
  if (!StopProcess(host, path, kNotTrashedRunning)) return false;
  registry::IniStore& trashcan = host.Data().trashcan;
  int slot = registry::FindFreeSlot(trashcan, kFormerPath, registry::kLastSlot);
  if (slot < 0) {
    host.Warn(kTrashcanFull);
    return false;
  }
  if (file) {
    // The person chose the file at the path shown; through a folder swapped
    // for a link it would be another one, maybe one they may not even read.
    const std::optional<std::string> real = file->FinalPath();
    if (!real || !SameAsciiCaseless(*real, path)) {
      host.Warn(kNotTrashedFolderChanged);
      host.Log(events::kRefusedToAct, {path});
      return false;
    }
  }

  const std::string folder = TrashcanFolder(host.Platform().system);
  std::optional<std::string> name = FreeTrashName(host, folder, FileNameOf(path));
  std::optional<std::string> target = name ? TrashPathOfName(folder, *name) : std::nullopt;
  if (!file || !target || !file->CopyToNew(*target)) {
    host.Say("Could not copy this file. Remove it manually.");
    return false;
  }
  const bool deleted = file->Delete();
  if (deleted)
    host.Log(events::kMovedToTrashcan, {path});
  else
    host.Say("Could not delete source file. Do it manually.");

  // Stopping and the boxes let other handlers, and other copies, run; one of
  // them may have taken the slot. Look again, with nothing in between this time.
  {
    registry::IniStore::Change change(trashcan);
    if (registry::ReadSlot(trashcan, slot, kFormerPath))
      slot = registry::FindFreeSlot(trashcan, kFormerPath, registry::kLastSlot);
    // The name first: the path is what makes the slot taken.
    if (slot >= 0) registry::WriteSlot(trashcan, slot, {{kFileName, *name}, {kFormerPath, path}});
  }
  if (slot < 0) host.Warn("The trashcan is full. The program's file is in the trashcan folder but not on its list.");
  return deleted && slot >= 0;
}

void BlockProgram(registry::Context& host, const std::string& text) {
  host.Say(text);
  if (!registry::FitsInList(text)) {
    host.Warn(kNotBlockable);
    return;
  }
  if (WindowsNeeds(host.Platform().processes, text)) {
    host.Warn(kWindowsNeedsIt);
    host.Log(events::kRefusedToAct, {text});
    return;
  }
  registry::IniStore& black_list = host.Data().black_list;
  int slot;
  {
    registry::IniStore::Change change(black_list);
    slot = registry::FindFreeSlot(black_list, registry::black_list::kProgram, registry::kLastSlot);
    if (slot >= 0) registry::WriteSlot(black_list, slot, {{registry::black_list::kProgram, text}});
  }
  if (slot < 0) {
    host.Warn("The list of forbidden processes is full. Remove some of its items first; this program was not blocked.");
    return;
  }
  // A command line that a host program of Windows runs is kept, but never
  // stops the host itself (the memory scan's rule): the user hears why.
  const std::string_view part = ExecutablePart(text);
  if (!SameAsciiCaseless(part, text) && IsWindowsHost(part, WindowsPlacesOf(host.Platform().processes))) {
    const std::string host_name(FileNameOf(part));
    host.Say("Program was blocked successfuly.\r\n\r\nIt is started by " + host_name +
             ", which is part of Windows. Veltrane will not stop " + host_name +
             " because of this entry, since that would stop Windows' own work too.");
  } else {
    host.Say("Program was blocked successfuly.");
  }
}

void RecoverFromTrashcan(registry::Context& host, const std::string& listed_path) {
  if (host.Confirm("You are moving this item to its previous directory. Are you sure?")) {
    registry::IniStore& trashcan = host.Data().trashcan;
    const std::string folder = TrashcanFolder(host.Platform().system);
    // Every matching slot, not only the first.
    for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
      const Record record = ReadRecord(trashcan, slot);
      const std::optional<std::string>& recorded = record.former_path;
      if (!recorded || !SameAsciiCaseless(*recorded, listed_path)) continue;
      std::optional<std::string> held = HeldFile(folder, record);
      host.Say(held.value_or(folder + std::string(FileNameOf(*recorded))) + " " + *recorded);
      platform::MoveStatus moved = platform::MoveStatus::Failed;
      if (held) {
        registry::WatchPause pause(host.Watch(), registry::WatchAfter::OwnChange);
        moved = host.Platform().files.Move(*held, *recorded);
      }
      if (moved == platform::MoveStatus::Moved) {
        EraseRecord(trashcan, slot, record);
        host.Log(events::kPutBackFromTrashcan, {*recorded});
        host.Say("Item was moved back to its normal directory.");
      } else if (moved == platform::MoveStatus::ThroughReparsePoint) {
        host.Warn(kNotRecoveredFolderChanged);
        host.Log(events::kRefusedToAct, {*recorded});
      } else {
        host.Warn("Error occured.");
      }
    }
  }
  host.RefreshLists();
}

void EmptyFromTrashcan(registry::Context& host, const std::string& listed_path) {
  if (!host.Confirm("You are permanently deleting this item. Are you sure?")) return;
  registry::IniStore& trashcan = host.Data().trashcan;
  for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
    const Record record = ReadRecord(trashcan, slot);
    if (record.former_path != listed_path) continue;
    std::optional<std::string> held = HeldFile(TrashcanFolder(host.Platform().system), record);
    if (held && host.Platform().files.Delete(*held)) {
      EraseRecord(trashcan, slot, record);
      host.Log(events::kDeletedFromTrashcan, {*record.former_path});
      host.Say("Item was removed permanently. Hope you knew what you were doing.");
    } else {
      host.Warn("Error occured.");
    }
  }
  // The line stays in list_smietnik until the next refresh.
}

}  // namespace process
