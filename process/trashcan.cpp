#include "process/trashcan.h"

#include "process/memory_scan.h"
#include "process/names.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace process {
namespace {

constexpr const char* kPathKey = "sciezka";
constexpr const char* kFree = registry::kMarkerErr;

void Pump() { tk::App().ProcessMessages(); }

void Warn(const std::string& text) { tk::App().MessageBox(tk::MsgKind::Warning, text); }

bool Confirmed(const std::string& question) {
  return tk::App().MessageBox(tk::MsgKind::Warning, question, tk::MsgButtons::OkCancel) == tk::ModalResult::Ok;
}

}  // namespace

std::optional<std::string> TrashPathOf(const std::string& path) {
  std::string_view name = FileNameOf(path);
  // Windows drops trailing dots and blanks, so such a name is the folder itself.
  if (name.find_first_not_of(". ") == std::string_view::npos || name.find('/') != std::string_view::npos)
    return std::nullopt;
  return kTrashcanFolder + std::string(name);
}

void MoveToTrashcan(ProtectionHost& host, const std::string& path) {
  registry::IniStore& trashcan = host.Trashcan();
  int slot = registry::FindFreeSlot(trashcan, kPathKey, kFree, registry::kLastSlot, Pump);
  if (slot < 0) {
    Warn("The trashcan is full. Empty some of its items first; this program was not moved.");
    return;
  }
  StopProcess(host, path);

  tk::Application& app = tk::App();
  platform::Files& files = host.Files();
  std::optional<std::string> target = TrashPathOf(path);
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
  registry::WriteSlot(trashcan, slot, {{kPathKey, path}});
}

void BlockProgram(ProtectionHost& host, const std::string& text) {
  tk::Application& app = tk::App();
  app.ShowMessage(text);
  registry::IniStore& black_list = host.BlackList();
  int slot = registry::FindFreeSlot(black_list, kPathKey, kFree, registry::kLastSlot, Pump);
  if (slot < 0) {
    Warn("The list of forbidden processes is full. Remove some of its items first; this program was not blocked.");
    return;
  }
  registry::WriteSlot(black_list, slot, {{kPathKey, text}});
  app.ShowMessage("Program was blocked successfuly.");
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
      std::optional<std::string> held = TrashPathOf(recorded);
      app.ShowMessage(kTrashcanFolder + std::string(FileNameOf(recorded)) + " " + recorded);
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
    std::optional<std::string> held = TrashPathOf(recorded);
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
