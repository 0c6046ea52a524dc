#include "process/trashcan.h"

#include <vector>

#include "process/memory_scan.h"
#include "process/names.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace process {
namespace {

constexpr const char* kPathKey = "sciezka";
constexpr const char* kFree = registry::kMarkerErr;
// How many programs of one file name the trashcan keeps apart.
constexpr int kMaxSameName = 1000;

void Pump() { tk::App().ProcessMessages(); }

void Warn(const std::string& text) { tk::App().MessageBox(tk::MsgKind::Warning, text); }

bool Confirmed(const std::string& question) {
  return tk::App().MessageBox(tk::MsgKind::Warning, question, tk::MsgButtons::OkCancel) == tk::ModalResult::Ok;
}

// The file a slot keeps in the trashcan folder, by "plik" or, in slots
// written before it, by the file name of the recorded path.
std::optional<std::string> HeldFile(registry::IniStore& trashcan, int slot, const std::string& recorded) {
  const std::string name = registry::ReadSlot(trashcan, slot, kTrashFileKey, "");
  return name.empty() ? TrashPathOf(recorded) : TrashPathOfName(name);
}

// A name in the trashcan folder that no slot records and no file there has.
std::optional<std::string> FreeTrashName(ProtectionHost& host, std::string_view name) {
  registry::IniStore& trashcan = host.Trashcan();
  std::vector<std::string> taken;
  for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
    const std::string recorded = registry::ReadSlot(trashcan, slot, kPathKey, kFree);
    if (recorded == kFree) continue;
    const std::string held = registry::ReadSlot(trashcan, slot, kTrashFileKey, "");
    taken.push_back(held.empty() ? std::string(FileNameOf(recorded)) : held);
  }
  for (int n = 1; n <= kMaxSameName; ++n) {
    const std::string candidate = n == 1 ? std::string(name) : NumberedName(name, n);
    std::optional<std::string> target = TrashPathOfName(candidate);
    if (!target) return std::nullopt;
    // File names differ in more than ASCII case only; the file check covers the rest.
    bool recorded = false;
    for (const std::string& t : taken) recorded = recorded || SameAsciiCaseless(t, candidate);
    if (!recorded && !host.Files().Exists(*target)) return candidate;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TrashPathOfName(std::string_view name) {
  // Windows drops trailing dots and blanks, so such a name is the folder itself.
  if (name.find_first_not_of(". ") == std::string_view::npos || name.find_first_of("/\\:") != std::string_view::npos)
    return std::nullopt;
  return kTrashcanFolder + std::string(name);
}

std::optional<std::string> TrashPathOf(const std::string& path) { return TrashPathOfName(FileNameOf(path)); }

std::string NumberedName(std::string_view name, int n) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) dot = name.size();
  return std::string(name.substr(0, dot)) + " (" + std::to_string(n) + ")" + std::string(name.substr(dot));
}

void MoveToTrashcan(ProtectionHost& host, const std::string& path) {
  if (WindowsNeeds(host.Processes(), path)) {
    Warn(kWindowsNeedsIt);
    return;
  }
  registry::IniStore& trashcan = host.Trashcan();
  int slot = registry::FindFreeSlot(trashcan, kPathKey, kFree, registry::kLastSlot, Pump);
  if (slot < 0) {
    Warn("The trashcan is full. Empty some of its items first; this program was not moved.");
    return;
  }
  // A running program's file cannot be moved, and must not be copied as if it had been.
  if (!StopProcess(host, path)) {
    Warn(kNotTrashedRunning);
    return;
  }

  tk::Application& app = tk::App();
  platform::Files& files = host.Files();
  std::optional<std::string> name = FreeTrashName(host, FileNameOf(path));
  std::optional<std::string> target = name ? TrashPathOfName(*name) : std::nullopt;
  if (!target || !files.CopyNoOverwrite(path, *target)) {
    app.ShowMessage("Could not copy this file. Remove it manually.");
    return;
  }
  if (!files.Delete(path)) app.ShowMessage("Could not delete source file. Do it manually.");

  // Stopping and the boxes let other handlers run; one of them may have taken
  // the slot. Look again, with nothing running in between this time.
  if (registry::ReadSlot(trashcan, slot, kPathKey, kFree) != kFree)
    slot = registry::FindFreeSlot(trashcan, kPathKey, kFree, registry::kLastSlot);
  if (slot < 0) {
    Warn("The trashcan is full. The program's file is in the trashcan folder but not on its list.");
    return;
  }
  // The name first: "sciezka" is what makes the slot taken.
  registry::WriteSlot(trashcan, slot, {{kTrashFileKey, *name}, {kPathKey, path}});
}

void BlockProgram(ProtectionHost& host, const std::string& text) {
  tk::Application& app = tk::App();
  app.ShowMessage(text);
  if (!registry::FitsInList(text)) {
    Warn(kNotBlockable);
    return;
  }
  if (WindowsNeeds(host.Processes(), text)) {
    Warn(kWindowsNeedsIt);
    return;
  }
  registry::IniStore& black_list = host.BlackList();
  int slot = registry::FindFreeSlot(black_list, kPathKey, kFree, registry::kLastSlot, Pump);
  if (slot < 0) {
    Warn("The list of forbidden processes is full. Remove some of its items first; this program was not blocked.");
    return;
  }
  registry::WriteSlot(black_list, slot, {{kPathKey, text}});
  // A command line that a host program of Windows runs is kept, but never
  // stops the host itself (the memory scan's rule): the user hears why.
  const std::string_view part = ExecutablePart(text);
  if (!SameAsciiCaseless(part, text) && IsWindowsHost(part, host.Processes().WindowsFolder())) {
    const std::string host_name(FileNameOf(part));
    app.ShowMessage("Program was blocked successfuly.\r\n\r\nIt is started by " + host_name +
                    ", which is part of Windows. Veltrane will not stop " + host_name +
                    " because of this entry, since that would stop Windows' own work too.");
  } else {
    app.ShowMessage("Program was blocked successfuly.");
  }
}

void RecoverSelected(ProtectionHost& host, const tk::ListBox& list) {
  if (list.ItemIndex() < 0) return;
  const std::string selected = list.SelectedText();
  if (Confirmed("You are moving this item to its previous directory. Are you sure?")) {
    tk::Application& app = tk::App();
    registry::IniStore& trashcan = host.Trashcan();
    // Every matching slot, not only the first.
    for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
      const std::string recorded = registry::ReadSlot(trashcan, slot, kPathKey, kFree);
      if (recorded == kFree || !SameAsciiCaseless(recorded, selected)) continue;
      std::optional<std::string> held = HeldFile(trashcan, slot, recorded);
      app.ShowMessage(held.value_or(kTrashcanFolder + std::string(FileNameOf(recorded))) + " " + recorded);
      if (held && host.Files().Move(*held, recorded)) {
        app.ShowMessage("Item was moved back to its normal directory.");
        registry::EraseSlot(trashcan, slot);
      } else {
        Warn("Error occured.");
      }
    }
  }
  host.RefreshLists();
}

void EmptySelected(ProtectionHost& host, const tk::ListBox& list) {
  if (list.ItemIndex() < 0) return;
  const std::string selected = list.SelectedText();
  if (!Confirmed("You are permanently deleting this item. Are you sure?")) return;
  tk::Application& app = tk::App();
  registry::IniStore& trashcan = host.Trashcan();
  for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
    const std::string recorded = registry::ReadSlot(trashcan, slot, kPathKey, kFree);
    if (recorded == kFree || recorded != selected) continue;
    std::optional<std::string> held = HeldFile(trashcan, slot, recorded);
    if (held && host.Files().Delete(*held)) {
      app.ShowMessage("Item was removed permanently. Hope you knew what you were doing.");
      registry::EraseSlot(trashcan, slot);
    } else {
      Warn("Error occured.");
    }
  }
  // The line stays in list_smietnik until the next refresh.
}

}  // namespace process
