#include "process/memory_scan.h"

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

// Fills the channel and shows a fresh alert; the answer is left in kontakt.
void AskAboutMatch(ProtectionHost& host, const std::string& path) {
  registry::HandOffChannel& channel = host.Channel();
  channel.kontakt.SetCaption("error");
  channel.sciezka_pliku.SetCaption(path);
  channel.nazwa_pliku.SetCaption(std::string(FileNameOf(path)));
  tk::App().ProcessMessages();
  Tpamiecalert alert(channel);
  alert.ShowModal();
}

}  // namespace

void ScanMemory(ProtectionHost& host) {
  tk::Application& app = tk::App();
  registry::HandOffChannel& channel = host.Channel();
  host.ShowScanPage();

  // The list box may be rebuilt while the scan runs (every stop does that);
  // the scan keeps to the processes it started with.
  const std::vector<std::string> paths = host.ProcessList().Items();
  const int count = int(paths.size());
  tk::ProgressBar& postep = host.ScanProgress();
  postep.SetMin(0);
  postep.SetMax(count > 0 ? count - 1 : 0);

  for (int i = 0; i < count; ++i) {
    const std::string& path = paths[i];
    postep.SetPosition(i);
    app.ProcessMessages();
    // Every slot is compared, so a program black-listed twice is dealt with twice.
    for (int slot = 0; slot <= registry::kLastSlot; ++slot) {
      channel.usun.SetChecked(false);
      channel.kontakt.SetCaption("error");
      app.ProcessMessages();
      const std::string entry = registry::ReadSlot(host.BlackList(), slot, kPathKey, registry::kMarkerError);
      if (entry == registry::kMarkerError || !EntryNamesProgram(entry, path)) continue;

      if (host.SilentRemoval()) {
        host.ShowBalloon("Removing forbidden process: " + path);
        StopProcess(host, path);
        continue;
      }

      AskAboutMatch(host, path);
      const std::string decision = channel.kontakt.Caption();
      if (decision == "allow") {
        // Only the entry the user was asked about goes.
        if (registry::ReadSlot(host.BlackList(), slot, kPathKey, registry::kMarkerError) == entry)
          registry::EraseSlot(host.BlackList(), slot);
      } else if (decision == "stop") {
        StopProcess(host, path);
        if (channel.usun.Checked()) {
          channel.usun.SetChecked(false);
          // The path the user was asked about, whatever other handlers have
          // written into the channel since.
          MoveToTrashcan(host, path);
        }
      } else if (decision == "error") {
        app.MessageBox(tk::MsgKind::Warning, "Could not comunicate with the child window.");
      }
    }
  }

  host.RefreshLists();
  host.ShowBalloon("Memory scanning done.");
}

void StopProcess(ProtectionHost& host, const std::string& path) {
  const std::string name(FileNameOf(path));
  platform::Processes& processes = host.Processes();
  for (const platform::ProcessEntry& entry : processes.Snapshot()) {
    if (entry.pid == 0) continue;
    std::optional<std::string> image = processes.ImagePath(entry.pid);
    if (!image || !SameAsciiCaseless(ListedPath(*image), path)) continue;
    if (processes.Terminate(entry.pid)) {
      host.ShowBalloon("Stopped disallowed process: " + name);
    } else {
      tk::App().MessageBox(tk::MsgKind::Warning, "Could not stop this process. You need to do this manually.");
    }
  }
  RefreshProcessList(processes, host.ProcessList());
}

}  // namespace process
