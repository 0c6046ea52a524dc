#include "registry/lists_page.h"

#include <string>

#include "registry/data_files.h"
#include "registry/slot_match.h"
#include "toolkit/application.h"

namespace registry {

void RemoveSelectedItem(const tk::ListBox& list, IniStore& store, std::string_view key, int last_slot) {
  if (list.ItemIndex() < 0) return;
  // Taken now: the list may be refilled while the question is open.
  const std::string text = list.SelectedText();
  if (tk::App().MessageBox(tk::MsgKind::Warning, std::string(kConfirmRemoval), tk::MsgButtons::OkCancel) !=
      tk::ModalResult::Ok)
    return;
  for (int slot = 0; slot <= last_slot; ++slot) {
    if (!SlotHolds(store, slot, key, text, kMarkerErr)) continue;
    EraseSlot(store, slot);
    tk::App().ShowMessage(std::string(kItemRemoved));
  }
}

}  // namespace registry
