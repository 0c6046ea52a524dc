#include "process/memory_scan.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "process/names.h"
#include "process/process_list.h"
#include "process/trashcan.h"
#include "registry/data_files.h"
#include "registry/policy.h"

namespace process {
namespace {

constexpr const char* kWindowsNeedsListed =
    " is on the list of forbidden processes, but it is part of Windows and must keep running, so it was not "
    "stopped. Take it off the list of forbidden processes.";

// An entry that forbids a program: a slot of the person's list, or
// (kPolicySlot) one of the administrator's policy.
constexpr int kPolicySlot = -1;
struct Forbidding {
  int slot;
  std::string entry;
};

// The entries that forbid path, the person's slots first: the list is read
// in one look at the file, without pumping messages.
std::vector<Forbidding> ForbiddingEntries(registry::IniStore& black, const std::vector<std::string>& policy,
                                          const std::string& path, const WindowsPlaces& windows) {
  std::vector<Forbidding> found;
  const auto entries = registry::ReadSlots(black, registry::black_list::kProgram, registry::kLastSlot);
  for (int slot = 0; slot < int(entries.size()); ++slot)
    if (entries[slot] && EntryForbids(*entries[slot], path, windows)) found.push_back({slot, *entries[slot]});
  for (const std::string& entry : policy)
    if (EntryForbids(entry, path, windows)) found.push_back({kPolicySlot, entry});
  return found;
}

}  // namespace

WindowsPlaces WindowsPlacesOf(platform::Processes& processes) {
  return {processes.WindowsFolder(), processes.Is64BitWindows()};
}

bool WindowsNeeds(platform::Processes& processes, const std::string& path) {
  if (IsWindowsCritical(path, processes.WindowsFolder())) return true;
  for (uint32_t pid : processes.EnumerateIds(kMaxProcessIds)) {
    if (pid == 0) continue;
    std::optional<std::string> image = processes.ImagePath(pid);
    if (image && SameAsciiCaseless(*image, path) && processes.IsCritical(pid)) return true;
  }
  return false;
}

void ScanMemory(registry::Context& host, const std::vector<std::string>& paths) {
  host.ShowScanPage();
  const WindowsPlaces windows = WindowsPlacesOf(host.Platform().processes);
  // Read once per scan, as the list is.
  const std::vector<std::string> policy =
      registry::policy::ReadEntries(host, registry::policy::kForbiddenKey);
  const int count = int(paths.size());
  host.Progress(0, count > 0 ? count - 1 : 0);

  // Once the program is ending (the window closed, the no-rights exit, "Exit
  // program") nothing more is examined, asked about or stopped.
  for (int i = 0; i < count && !host.Ending(); ++i) {
    const std::string& path = paths[i];
    host.Progress(i, count - 1);
    host.Pump();
    if (host.Ending()) break;
    // Every entry is compared, so a program black-listed twice is dealt with
    // twice; a slot that an earlier answer changed is passed over.
    const std::vector<Forbidding> forbidding = ForbiddingEntries(host.Data().black_list, policy, path, windows);
    // Nobody here can allow what the administrator forbids, whichever entry
    // the alert is about: the alert refuses "Allow working".
    const bool by_policy = std::any_of(forbidding.begin(), forbidding.end(),
                                       [](const Forbidding& f) { return f.slot == kPolicySlot; });
    for (const auto& [slot, entry] : forbidding) {
      if (host.Ending()) break;
      if (slot != kPolicySlot && registry::ReadSlot(host.Data().black_list, slot, registry::black_list::kProgram) != entry)
        continue;

      if (WindowsNeeds(host.Platform().processes, path)) {
        // Told each time: the entry stays until the user takes it off the list.
        if (host.Settings().skanuj_usun_cicho) {
          host.ShowBalloon("Not stopped, Windows needs it: " + path);
        } else if (slot == kPolicySlot) {
          // Only the administrator can take it off their list.
          host.Warn(std::string(registry::policy::kWindowsNeedsPolicy));
        } else {
          host.Warn(path + kWindowsNeedsListed);
        }
        host.Log(events::kRefusedToAct, {path});
        continue;
      }

      if (host.Settings().skanuj_usun_cicho) {
        host.ShowBalloon("Removing forbidden process: " + path);
        StopProcess(host, path);
        continue;
      }

      // The window is served first: the alert shows path, whatever a
      // handler run meanwhile did.
      host.Pump();
      if (host.Ending()) break;
      const registry::Decision decision = host.Ask(path, by_policy);
      // An alert closed by the end of the program is no answer, nor a lost one.
      if (host.Ending()) break;
      if (decision.answer == registry::Answer::Allow) {
        // Only the entry the user was asked about goes, whatever another
        // copy changed meanwhile.
        {
          registry::IniStore::Change change(host.Data().black_list);
          if (registry::ReadSlot(host.Data().black_list, slot, registry::black_list::kProgram) == entry)
            registry::EraseSlot(host.Data().black_list, slot);
        }
        host.Log(events::kForbiddenAllowed, {path});
      } else if (decision.answer == registry::Answer::Stop) {
        if (decision.ticked) {
          StopAndMoveToTrashcan(host, path);
        } else {
          StopProcess(host, path);
        }
      } else {
        host.Warn("Could not comunicate with the child window.");
      }
    }
  }

  if (host.Ending()) return;
  host.RefreshLists();
  host.ShowBalloon("Memory scanning done.");
}

bool StopProcess(registry::Context& host, const std::string& path, std::string_view failure) {
  const std::string name(FileNameOf(path));
  platform::Processes& processes = host.Platform().processes;
  if (IsWindowsCritical(path, processes.WindowsFolder())) {
    host.Warn(kWindowsNeedsIt);
    host.Log(events::kRefusedToAct, {path});
    host.RefreshProcessList();
    return false;
  }
  bool left_running = false;
  const auto is_it = [&path](const std::string& image) { return SameAsciiCaseless(image, path); };
  std::vector<std::unique_ptr<platform::StoppedProcess>> ending;
  for (const platform::ProcessEntry& entry : processes.Snapshot()) {
    if (host.Ending()) break;  // a box below may have let the program be ended
    if (entry.pid == 0) continue;
    // A first look spares opening every process; Stop looks again on the
    // handle it stops.
    std::optional<std::string> image = processes.ImagePath(entry.pid);
    if (!image || !is_it(*image)) continue;
    platform::StopResult result = processes.Stop(entry.pid, is_it);
    switch (result.status) {
      case platform::StopStatus::Stopped:
        host.ShowBalloon("Stopped disallowed process: " + name);
        ending.push_back(std::move(result.stopped));
        break;
      case platform::StopStatus::NotIt:
        break;  // gone meanwhile, or its id is another program's now
      case platform::StopStatus::Critical:
        host.Warn(kWindowsNeedsIt);
        host.Log(events::kRefusedToAct, {path});
        left_running = true;
        break;
      case platform::StopStatus::Failed:
        host.Warn(std::string(failure));
        left_running = true;
        break;
    }
  }
  // Gone before the list is rebuilt and before anyone moves the file; the
  // window is served meanwhile.
  for (const auto& stopped : ending) {
    platform::StoppedProcess::State state;
    while ((state = stopped->WaitForEnd()) == platform::StoppedProcess::State::Pending) host.Pump();
    if (state == platform::StoppedProcess::State::GaveUp) {
      host.Warn(std::string(failure));
      left_running = true;
    }
  }
  // Once for the program, however many of its processes ran.
  if (!ending.empty()) host.Log(events::kForbiddenStopped, {path});
  host.RefreshProcessList();
  return !left_running;
}

}  // namespace process
