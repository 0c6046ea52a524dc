#include "registry/lists_page.h"

#include "registry/data_files.h"

namespace registry {

void RemoveListEntry(Context& host, const std::string& text, IniStore& store, std::string_view key,
                     int last_slot) {
  if (!host.Confirm(std::string(kConfirmRemoval))) return;
  for (int slot = 0; slot <= last_slot; ++slot) {
    if (ReadSlot(store, slot, key) != text) continue;
    {
      // Looked at again with the erasure: another copy may have changed it.
      IniStore::Change change(store);
      if (ReadSlot(store, slot, key) != text) continue;
      EraseSlot(store, slot);
    }
    host.Say(std::string(kItemRemoved));
  }
}

}  // namespace registry
