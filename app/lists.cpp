// RefreshLists: the list boxes refilled from the data files and the
// administrator's policy.
#include <chrono>

#include "app/velmainfrm.h"
#include "registry/data_files.h"
#include "registry/policy.h"
#include "registry/undo.h"
#include "toolkit/application.h"

namespace app {

void Tvelmain::RefreshLists() {
  std::string refreshing = "Refreshing lists.";
  ShowStatus(refreshing);
  RefreshProcessList();
  if (!protection_.DataFilesOpen()) {  // not opened yet: start-up has not got that far
    ShowProtectionLevel();
    return;
  }

  // Each file is read once, as it is now; its lines go in slot by slot
  // while the window works, as the refresh has always gone.
  const int generation = ++refresh_generation_;
  using namespace registry;
  DataFiles& files = protection_.Data();
  const auto allowed = ReadSlots(files.white_list, white_list::kCommand, white_list::kLastSlot);
  const auto forbidden = ReadSlots(files.black_list, black_list::kProgram, kLastSlot);
  const auto trashed = ReadSlots(files.trashcan, trashcan_list::kFormerPath, kLastSlot);
  const auto removed = RemovalLines(files.statistics);
  const auto allowed_by_policy = policy::ReadEntries(protection_, policy::kAllowedKey);
  const auto forbidden_by_policy = policy::ReadEntries(protection_, policy::kForbiddenKey);
  listy.Clear();
  smietnik.Clear();
  rejestr.Clear();

  // Each pump is a round trip to the window system: one every few
  // milliseconds keeps the window as lively at a fraction of the cost.
  auto next_pump = std::chrono::steady_clock::now();
  for (int n = 0; n <= white_list::kLastSlot; ++n) {
    if (const auto now = std::chrono::steady_clock::now(); now >= next_pump) {
      tk::App().ProcessMessages();
      next_pump = now + std::chrono::milliseconds(10);
    }
    // Nobody will see the lists of a program that is ending.
    if (Ending()) return;
    // A refresh run by a handler meanwhile has filled the lists completely.
    if (generation != refresh_generation_) break;
    // The dots belong to the refresh text: a text shown meanwhile (the
    // protection level after a click on a setting) stays as it is.
    if (status.Caption() == refreshing && refreshing.size() < 55) {
      refreshing += '.';
      ShowStatus(refreshing);
    }
    const size_t slot = size_t(n);
    if (allowed[slot]) listy.AddAllowed(*allowed[slot]);
    if (slot >= forbidden.size()) continue;  // the other files end at slot 250
    if (forbidden[slot]) listy.AddForbidden(*forbidden[slot]);
    if (trashed[slot]) smietnik.Add(*trashed[slot]);
    // Each line of the removed entries stands for its own slot, to be put
    // back from there.
    if (removed[slot]) rejestr.Add(*removed[slot], n);
  }
  // The administrator's entries follow the person's own, unless a refresh
  // meanwhile has shown them already.
  if (generation == refresh_generation_) listy.AddPolicy(allowed_by_policy, forbidden_by_policy);
  ShowProtectionLevel();
}

}  // namespace app
