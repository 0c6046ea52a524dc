// RefreshLists: the four list boxes refilled from the data files.
#include "app/velmainfrm.h"
#include "registry/data_files.h"
#include "registry/undo.h"
#include "toolkit/application.h"

namespace app {

void Tvelmain::RefreshLists() {
  std::string refreshing = "Refreshing lists.";
  status.SetCaption(refreshing);
  RefreshProcessList();

  const int generation = ++refresh_generation_;
  struct Source {
    registry::IniStore* store;
    const char* key;
    tk::ListBox& list;
    int last_slot;
  };
  const Source sources[] = {
      {white_list.get(), "wartosc", list_pozwolonych, registry::kLastWhiteListSlot},
      {black_list.get(), "sciezka", list_zabronionych, registry::kLastSlot},
      {trashcan.get(), "sciezka", list_smietnik, registry::kLastSlot},
  };
  for (const Source& s : sources) s.list.Clear();
  // Each line of the removed entries stands for its own slot, to be put
  // back from there; a record is listed whatever its text.
  list_rejestr.Clear();
  rejestr_slots.clear();

  // One pass over the longest range; the other files stop at their own end.
  for (int n = 0; n <= registry::kLastWhiteListSlot; ++n) {
    tk::App().ProcessMessages();
    // Nobody will see the lists of a program that is ending.
    if (Ending()) return;
    // A refresh run by a handler meanwhile has filled the lists completely.
    if (generation != refresh_generation_) break;
    // The dots belong to the refresh text: a text shown meanwhile (the
    // protection level after a click on a setting) stays as it is.
    if (status.Caption() == refreshing && refreshing.size() < 55) {
      refreshing += '.';
      status.SetCaption(refreshing);
    }
    for (const Source& s : sources) {
      if (!s.store || n > s.last_slot) continue;
      std::string text = registry::ReadSlot(*s.store, n, s.key, registry::kMarkerErr);
      if (text != registry::kMarkerErr) s.list.AddItem(text);
    }
    if (statistics && n <= registry::kLastSlot) {
      if (std::optional<std::string> text = registry::StatisticsText(*statistics, n)) {
        rejestr_slots.push_back(n);
        list_rejestr.AddItem(*text);
      }
    }
  }
  ShowProtectionLevel();
}

}  // namespace app
