#include "components/folder_monitor.h"

#include <algorithm>

#include "components/watch_worker.h"

namespace components {

namespace {

// The folder that holds path: "C:\A" for "C:\A\B", "C:\" for "C:\A"; ""
// above a drive's root.
std::string Parent(std::string path) {
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  size_t cut = path.rfind('\\');
  if (cut == std::string::npos || cut == 0) return "";
  if (cut == 2 && path[1] == ':') return path.size() > 3 ? path.substr(0, 3) : "";
  return path.substr(0, cut);
}

}  // namespace

// The watches of a set of folders, run on a thread of its own. It holds its
// own copies of the folders and the handler; the component only asks it to
// end.
struct FolderWorker : WatchWorker {
  struct Watched {
    std::string path;
    std::unique_ptr<platform::ChangeWatch> own;     // while the folder is there
    std::unique_ptr<platform::ChangeWatch> around;  // the nearest folder above it that is there
  };

  // The watches are set before the thread starts: nothing that changes
  // after StartMonitor has returned is missed.
  FolderWorker(platform::Files& files, const std::vector<std::string>& paths, std::function<void()> handler)
      : WatchWorker(std::move(handler), files.NewWaiter()), files(files) {
    for (const std::string& path : paths) Rewatch(folders.emplace_back(Watched{path, nullptr, nullptr}));
  }

  void Run() override;
  // Watches the folder as it is now; true when that differs from what was
  // watched: it came or went, or was replaced, or changed meanwhile.
  bool Rewatch(Watched& w);

  platform::Files& files;
  std::vector<Watched> folders;
};

bool FolderWorker::Rewatch(Watched& w) {
  // What is around the folder first, so that the folder going after the
  // look below still wakes the worker. A missing folder's creation is seen
  // there too, through however many missing folders above it.
  std::unique_ptr<platform::ChangeWatch> around;
  for (std::string up = Parent(w.path); !up.empty() && !around; up = Parent(up)) around = files.WatchFolder(up);
  std::unique_ptr<platform::ChangeWatch> own = files.WatchFolder(w.path);
  // A folder deleted and made again between two looks leaves the old watch
  // dead or woken: the new one is armed before the old one goes.
  bool changed = bool(own) != bool(w.own) || (w.own && w.own->Wait(0) != platform::WaitResult::TimedOut);
  w.own = std::move(own);
  w.around = std::move(around);
  return changed;
}

void FolderWorker::Run() {
  while (!terminated) {
    std::vector<platform::ChangeWatch*> watches;
    for (const Watched& w : folders) {
      watches.push_back(w.own.get());
      watches.push_back(w.around.get());
    }
    int fired = waiter->WaitAny(watches);
    if (terminated || fired == platform::ChangeWaiter::kFailed) break;
    if (fired == platform::ChangeWaiter::kWoken) continue;
    // One report for whatever this wake-up saw.
    const bool in_folder = fired % 2 == 0;
    if (Rewatch(folders[size_t(fired) / 2]) || in_folder) Notify();
  }
  folders.clear();
  ended = true;
}

FolderMonitor::FolderMonitor(platform::Files& files) : files_(files) {}

FolderMonitor::~FolderMonitor() {
  destroying_ = true;
  StopMonitor();
}

void FolderMonitor::SetFolders(std::vector<std::string> folders) {
  folders_ = std::move(folders);
  if (Watching()) StartMonitor();
}

void FolderMonitor::SetOnChange(std::function<void()> handler) {
  on_change_ = std::move(handler);
  if (Watching()) StartMonitor();
}

void FolderMonitor::StartMonitor() {
  StopMonitor();
  if (destroying_ || !on_change_ || folders_.empty()) return;
  for (size_t first = 0, n = 0; first < folders_.size(); first += kFoldersPerWorker, ++n) {
    if (n == threads_.size()) threads_.push_back(std::make_unique<WatchThreads>());
    const auto end = folders_.begin() + std::ptrdiff_t(std::min(first + kFoldersPerWorker, folders_.size()));
    const std::vector<std::string> part(folders_.begin() + std::ptrdiff_t(first), end);
    threads_[n]->Start(std::make_shared<FolderWorker>(files_, part, on_change_));
  }
}

void FolderMonitor::StopMonitor() {
  for (auto& threads : threads_) threads->Stop();
}

bool FolderMonitor::Watching() const {
  return std::any_of(threads_.begin(), threads_.end(), [](const auto& threads) { return threads->Watching(); });
}

}  // namespace components
