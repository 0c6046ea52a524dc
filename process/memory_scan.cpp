#include "process/memory_scan.h"

#include <memory>
#include <optional>
#include <vector>

#include "process/names.h"
#include "process/pamiecalertfrm.h"
#include "process/process_list.h"
#include "process/trashcan.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace process {
namespace {

constexpr const char* kPathKey = "sciezka";

constexpr const char* kWindowsNeedsListed =
    " is on the list of forbidden processes, but it is part of Windows and must keep running, so it was not "
    "stopped. Take it off the list of forbidden processes.";

// Fills the channel and shows a fresh alert; the answer is left in kontakt.
void AskAboutMatch(ProtectionHost& host, const std::string& path) {
  registry::HandOffChannel& channel = host.Channel();
  // The window is served first: a handler it runs may write the channel,
  // which is filled after it. The alert itself shows path, whatever the
  // channel holds.
  tk::App().ProcessMessages();
  channel.kontakt.SetCaption("error");
  channel.sciezka_pliku.SetCaption(path);
  channel.nazwa_pliku.SetCaption(std::string(FileNameOf(path)));
  if (host.Ending()) return;
  Tpamiecalert alert(channel, path);
  alert.ShowModal();
}

}  // namespace

bool ProtectionHost::Ending() { return tk::App().Terminated(); }

bool WindowsNeeds(platform::Processes& processes, const std::string& path) {
  if (IsWindowsCritical(path, processes.WindowsFolder())) return true;
  for (uint32_t pid : processes.EnumerateIds(kMaxProcessIds)) {
    if (pid == 0) continue;
    std::optional<std::string> image = processes.ImagePath(pid);
    if (image && SameAsciiCaseless(*image, path) && processes.IsCritical(pid)) return true;
  }
  return false;
}

void ScanMemory(ProtectionHost& host) {
  tk::Application& app = tk::App();
  registry::HandOffChannel& channel = host.Channel();
  host.ShowScanPage();
  const std::string windows = host.Processes().WindowsFolder();

  // The list box may be rebuilt while the scan runs (every stop does that);
  // the scan keeps to the processes it started with.
  const std::vector<std::string> paths = host.ProcessList().Items();
  const int count = int(paths.size());
  tk::ProgressBar& postep = host.ScanProgress();
  postep.SetMin(0);
  postep.SetMax(count > 0 ? count - 1 : 0);

  // Once the program is ending (the window closed, the no-rights exit, "Exit
  // program") nothing more is examined, asked about or stopped.
  for (int i = 0; i < count && !host.Ending(); ++i) {
    const std::string& path = paths[i];
    postep.SetPosition(i);
    app.ProcessMessages();
    // Every slot is compared, so a program black-listed twice is dealt with twice.
    for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
      channel.usun.SetChecked(false);
      channel.kontakt.SetCaption("error");
      app.ProcessMessages();
      if (host.Ending()) break;
      const std::string entry = registry::ReadSlot(host.BlackList(), slot, kPathKey, registry::kMarkerError);
      if (entry == registry::kMarkerError || !EntryForbids(entry, path, windows)) continue;

      if (WindowsNeeds(host.Processes(), path)) {
        // Told each time: the entry stays until the user takes it off the list.
        if (host.SilentRemoval()) {
          host.ShowBalloon("Not stopped, Windows needs it: " + path);
        } else {
          app.MessageBox(tk::MsgKind::Warning, path + kWindowsNeedsListed);
        }
        continue;
      }

      if (host.SilentRemoval()) {
        host.ShowBalloon("Removing forbidden process: " + path);
        StopProcess(host, path);
        continue;
      }

      AskAboutMatch(host, path);
      // An alert closed by the end of the program is no answer, nor a lost one.
      if (host.Ending()) break;
      const std::string decision = channel.kontakt.Caption();
      if (decision == "allow") {
        // Only the entry the user was asked about goes.
        if (registry::ReadSlot(host.BlackList(), slot, kPathKey, registry::kMarkerError) == entry)
          registry::EraseSlot(host.BlackList(), slot);
      } else if (decision == "stop") {
        const bool stopped = StopProcess(host, path);
        if (channel.usun.Checked()) {
          channel.usun.SetChecked(false);
          // The path the user was asked about, whatever other handlers have
          // written into the channel since. A program still running keeps
          // its file: the user has been told it could not be stopped.
          if (stopped) {
            MoveToTrashcan(host, path);
          } else {
            app.MessageBox(tk::MsgKind::Warning, kNotTrashedRunning);
          }
        }
      } else if (decision == "error") {
        app.MessageBox(tk::MsgKind::Warning, "Could not comunicate with the child window.");
      }
    }
  }

  if (host.Ending()) return;
  host.RefreshLists();
  host.ShowBalloon("Memory scanning done.");
}

bool StopProcess(ProtectionHost& host, const std::string& path) {
  tk::Application& app = tk::App();
  const std::string name(FileNameOf(path));
  platform::Processes& processes = host.Processes();
  if (IsWindowsCritical(path, processes.WindowsFolder())) {
    app.MessageBox(tk::MsgKind::Warning, kWindowsNeedsIt);
    RefreshProcessList(processes, host.ProcessList());
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
        app.MessageBox(tk::MsgKind::Warning, kWindowsNeedsIt);
        left_running = true;
        break;
      case platform::StopStatus::Failed:
        app.MessageBox(tk::MsgKind::Warning, "Could not stop this process. You need to do this manually.");
        left_running = true;
        break;
    }
  }
  // Gone before the list is rebuilt and before anyone moves the file; the
  // window is served meanwhile.
  for (const auto& stopped : ending) {
    platform::StoppedProcess::State state;
    while ((state = stopped->WaitForEnd()) == platform::StoppedProcess::State::Pending) app.ProcessMessages();
    if (state == platform::StoppedProcess::State::GaveUp) {
      app.MessageBox(tk::MsgKind::Warning, "Could not stop this process. You need to do this manually.");
      left_running = true;
    }
  }
  RefreshProcessList(processes, host.ProcessList());
  return !left_running;
}

}  // namespace process
