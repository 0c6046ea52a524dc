// RefreshLists: the list boxes refilled from the data files.
#include "app/velmainfrm.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace app {

void Tvelmain::RefreshLists() {
  std::string refreshing = "Refreshing lists.";
  status.SetCaption(refreshing);
  RefreshProcessList();
  if (!files_) {  // not opened yet: start-up has not got that far
    ShowProtectionLevel();
    return;
  }

  // Each file is read once, as it is now; the lines are taken slot by slot
  // while the window works, as the refresh has always gone.
  const int generation = ++refresh_generation_;
  using namespace registry;
  const auto allowed = ReadSlots(files_->white_list, white_list::kCommand, white_list::kLastSlot);
  const auto forbidden = ReadSlots(files_->black_list, black_list::kProgram, kLastSlot);
  const auto trashed = ReadSlots(files_->trashcan, trashcan_list::kFormerPath, kLastSlot);
  const auto removed = ReadSlots(files_->statistics, statistics::kData, kLastSlot);
  std::vector<std::string> allowed_lines, forbidden_lines, trashed_lines, removed_lines;
  std::vector<int> removed_slots;
  const auto take = [](const std::vector<std::optional<std::string>>& from, int n, std::vector<std::string>& to) {
    if (size_t(n) < from.size() && from[size_t(n)]) to.push_back(*from[size_t(n)]);
  };

  for (int n = 0; n <= white_list::kLastSlot; ++n) {
    tk::App().ProcessMessages();
    // Nobody will see the lists of a program that is ending.
    if (Ending()) return;
    // A refresh run by a handler meanwhile has filled the lists.
    if (generation != refresh_generation_) {
      ShowProtectionLevel();
      return;
    }
    // The dots belong to the refresh text: a text shown meanwhile (the
    // protection level after a click on a setting) stays as it is.
    if (status.Caption() == refreshing && refreshing.size() < 55) {
      refreshing += '.';
      status.SetCaption(refreshing);
    }
    take(allowed, n, allowed_lines);
    take(forbidden, n, forbidden_lines);
    take(trashed, n, trashed_lines);
    // Each line of the removed entries stands for its own slot, to be put
    // back from there.
    if (size_t(n) < removed.size() && removed[size_t(n)]) removed_slots.push_back(n);
    take(removed, n, removed_lines);
  }
  listy.Show(allowed_lines, forbidden_lines);
  smietnik.Show(trashed_lines);
  rejestr.Show(std::move(removed_lines), std::move(removed_slots));
  ShowProtectionLevel();
}

}  // namespace app
