#include "app/protection.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "app/velmainfrm.h"
#include "process/memory_scan.h"
#include "process/pamiecalertfrm.h"
#include "process/trashcan.h"
#include "registry/policy.h"
#include "registry/rejestralertfrm.h"
#include "registry/scan.h"
#include "registry/startup_folders.h"
#include "toolkit/application.h"
#include "toolkit/error.h"

namespace app {

namespace {

constexpr const char* kNoEventLog = "The Windows event log is not available; Veltrane's findings are not logged.";

const char* RefusedAction(registry::Refusal refusal) {
  switch (refusal) {
    case registry::Refusal::Read:
    case registry::Refusal::ReadPolicy:
    case registry::Refusal::ListFolder:
      return "read";
    case registry::Refusal::Change:
      return "change";
    case registry::Refusal::Delete:
      break;
  }
  return "delete";
}

}  // namespace

Protection::Protection(Tvelmain& window, platform::Platform platform)
    : w_(window),
      platform_(platform),
      mon_HKLM(platform.registry),
      mon_folders(platform.files),
      mon_policy(platform.registry),
      mon_tasks(platform.files),
      mon_services(platform.registry),
      mon_hijacks(platform.registry),
      facts_finder(platform.system) {}

void Protection::OpenDataFiles(const std::string& user_name) {
  files_ = std::make_unique<registry::DataFiles>(platform_.files, platform_.processes.WindowsFolder(), user_name);
}

registry::DataFiles& Protection::Data() {
  // The start-up sequence opens them before anything can scan.
  if (!files_) throw tk::Error("The data files are not open yet.");
  return *files_;
}

void Protection::SetUpWatches() {
  mon_HKLM.Name = "mon_HKLM";
  mon_HKLM.SetActive(true);
  mon_HKLM.SetNotifyFilters(components::rmfSubTreeChange | components::rmfAttributeChange |
                            components::rmfValueChange);
  mon_HKLM.SetWatchSubTree(true);
  // Every autostart key, the current user's Run key too, which any program
  // may write to for its own user.
  mon_HKLM.SetKeys(registry::AutostartKeys(platform_.registry));
  mon_HKLM.SetOnChange([this] { w_.mon_HKLMChange(); });
  std::vector<std::string> folders;
  for (const registry::StartupPlace& place : registry::kStartupPlaces)
    if (std::optional<std::string> folder = platform_.shell.StartupFolderPath(place.folder)) folders.push_back(*folder);
  mon_folders.SetFolders(std::move(folders));
  mon_folders.SetOnChange([this] { w_.mon_HKLMChange(); });

  // The policy lists are watched for as long as the program runs: a scan
  // never stops this watch, since nobody is asked about its changes.
  mon_policy.Name = "mon_policy";
  mon_policy.SetActive(true);
  mon_policy.SetNotifyFilters(components::rmfSubTreeChange | components::rmfValueChange);
  mon_policy.SetWatchSubTree(true);
  mon_policy.SetKeys({{platform::RootKey::LocalMachine, std::string(registry::policy::kAllowedKey)},
                      {platform::RootKey::LocalMachine, std::string(registry::policy::kForbiddenKey)}});
  mon_policy.SetOnChange([this] { PolicyChanged(); });

  // Debuggers, injected DLLs and the like: no question, as for the tasks.
  mon_hijacks.Name = "mon_hijacks";
  mon_hijacks.SetActive(true);
  mon_hijacks.SetNotifyFilters(components::rmfSubTreeChange | components::rmfValueChange);
  mon_hijacks.SetWatchSubTree(true);
  mon_hijacks.SetKeys(registry::HijackKeys(platform_.registry));
  mon_hijacks.SetOnKeysChange([this](const std::vector<platform::KeyLocation>& keys) {
    for (const platform::KeyLocation& key : keys)
      if (std::find(hijacks_changed_.begin(), hijacks_changed_.end(), key) == hijacks_changed_.end())
        hijacks_changed_.push_back(key);
    DoorChanged(hijacks_settle_);
  });
  hijacks_settle_.SetOnTimer([this] {
    hijacks_settle_.SetEnabled(false);
    ScanHijacksQuietly();
  });

  // A copy without an administrator's rights leaves these two alone.
  doors_watched_ = platform_.system.HasAdminRights();
  if (!doors_watched_) return;
  mon_tasks.SetOnChange([this] { DoorChanged(tasks_settle_); });
  mon_services.Name = "mon_services";
  mon_services.SetActive(true);
  mon_services.SetNotifyFilters(components::rmfSubTreeChange | components::rmfValueChange);
  mon_services.SetWatchSubTree(true);
  mon_services.SetKeys({{platform::RootKey::LocalMachine, std::string(registry::kServicesPath)}});
  mon_services.SetOnChange([this] { DoorChanged(services_settle_); });
  tasks_settle_.SetOnTimer([this] {
    tasks_settle_.SetEnabled(false);
    WatchTaskFolders();
    ScanQuietly(registry::Door::Tasks);
  });
  services_settle_.SetOnTimer([this] {
    services_settle_.SetEnabled(false);
    ScanQuietly(registry::Door::Services);
  });
}

void Protection::DoorChanged(tk::Timer& settle) {
  if (Ending()) return;
  settle.SetEnabled(false);
  settle.SetEnabled(true);
}

void Protection::ScanQuietly(registry::Door door) {
  if (Ending()) return;
  const auto request =
      door == registry::Door::Tasks ? registry::ScanRequest::QuietTasks : registry::ScanRequest::QuietServices;
  gate_.Run(request, [this, door] { registry::RegistryScan(*this).ScanQuietly(door); });
}

void Protection::ScanHijacksQuietly() {
  if (Ending()) return;
  // The keys are taken when the scan runs: those that change while another
  // scan runs wait with it.
  gate_.Run(registry::ScanRequest::QuietHijacks, [this] {
    registry::RegistryScan(*this).ScanHijacksQuietly(std::exchange(hijacks_changed_, {}));
  });
}

void Protection::WatchTaskFolders() {
  // A folder made or removed is watched, or not, from now on.
  std::vector<std::string> folders = registry::ReadTaskTree(platform_.files, platform_.tasks.Folder()).folders;
  if (folders == task_folders_) return;
  task_folders_ = std::move(folders);
  mon_tasks.SetFolders(task_folders_);
}

void Protection::Loaded() {
  mon_HKLM.Loaded();
  mon_hijacks.Loaded();
  mon_folders.StartMonitor();
  if (doors_watched_) {
    WatchTaskFolders();
    mon_tasks.StartMonitor();
    mon_services.Loaded();
  }
  policy_forbidden_ = registry::policy::Read(platform_.registry, registry::policy::kForbiddenKey).entries;
  mon_policy.Loaded();
}

// ---- The scans

void Protection::ScanNow() {
  gate_.Run(registry::ScanRequest::ScanNow, [this] { Scan({settings_.skanuj_rejestr, settings_.skanuj_pamiec}); });
}

void Protection::ScanRegistry() {
  gate_.Run(registry::ScanRequest::FullScan, [this] { Scan({.registry = true}); });
}

void Protection::Scan(ScanCoverage coverage) {
  if (coverage.registry) registry::RegistryScan(*this).FullRegistryScan();
  // The registry scan may have ended the program (the no-rights exit):
  // then nothing more is refreshed, scanned, stopped or watched.
  if (Ending()) return;
  if (coverage.memory) {
    w_.RefreshLists();
    if (Ending()) return;
    MemoryScan();
  }
  // A memory scan leaves the watch running; after it, the watch is as after
  // any scan.
  if (!coverage.registry) {
    registry::WatchPause after_scan(*this, registry::WatchAfter::Scan);
  }
}

void Protection::ExitScan() { registry::RegistryScan(*this).ScanAutorunKey(registry::kLocalMachineRun); }

void Protection::MemoryScan() {
  // The list may be rebuilt while the scan runs (every stop does that): the
  // scan keeps to the processes it started with.
  const std::vector<std::string> paths = w_.pamiec.Paths();
  process::ScanMemory(*this, paths);
}

void Protection::PolicyChanged() {
  if (Ending()) return;
  const std::vector<std::string> before = std::move(policy_forbidden_);
  policy_forbidden_ = registry::policy::ReadEntries(*this, registry::policy::kForbiddenKey);
  w_.RefreshLists();
  const bool newly_forbidden = std::any_of(policy_forbidden_.begin(), policy_forbidden_.end(), [&](const auto& e) {
    return std::find(before.begin(), before.end(), e) == before.end();
  });
  if (newly_forbidden && settings_.skanuj_pamiec && !Ending())
    gate_.Run(registry::ScanRequest::MemoryScan, [this] { MemoryScan(); });
}

// ---- The person, through the window

void Protection::Pump() { tk::App().ProcessMessages(); }

bool Protection::Ending() { return w_.Ending(); }

tk::ModalResult Protection::Tell(tk::MsgKind kind, const std::string& text, tk::MsgButtons buttons) {
  return tk::App().MessageBox(kind, text, buttons);
}

void Protection::Log(events::Event event, const std::vector<std::string>& strings) {
  // A finding that cannot be logged is still acted on.
  bool written = false;
  try {
    written = platform_.event_log.Report(event.level, event.id, strings);
  } catch (...) {
  }
  if (written || event_log_failure_told_) return;
  event_log_failure_told_ = true;
  w_.ShowStatus(kNoEventLog);
}

void Protection::Refused(const std::string& key_text, registry::Refusal refusal) {
  Log(events::kAccessRefused, {key_text, RefusedAction(refusal)});
  // The policy only adds to the person's own lists: a copy that may not
  // read it still guards with them.
  if (refusal != registry::Refusal::ReadPolicy && !platform_.system.HasAdminRights()) {
    w_.NoRightsExit();
    return;
  }
  if (refusal == registry::Refusal::Delete) {
    Warn(std::string(registry::kNotDeletedRefused));
    return;
  }
  if (refusals_told_.insert({key_text, refusal}).second) Warn(registry::RefusalText(key_text, refusal));
}

void Protection::ShowScanPage() { w_.ShowPage(w_.skan); }

void Protection::Progress(int position, int max) { w_.skan.Progress(position, max); }

void Protection::ShowBalloon() { w_.ShowBalloon(); }

void Protection::ShowBalloon(const std::string& text) {
  w_.tray.SetInfoText(text);
  w_.ShowBalloon();
}

registry::Decision Protection::Ask(const registry::Question& question) {
  registry::Trejestralert alert(question);
  return alert.Ask();
}

registry::Decision Protection::Ask(const std::string& path, bool forbidden_by_policy) {
  process::Tpamiecalert alert(path, forbidden_by_policy, FindFacts("\"" + path + "\""));
  return alert.Ask();
}

void Protection::RefreshLists() { w_.RefreshLists(); }

std::shared_ptr<registry::FactsRequest> Protection::FindFacts(const std::string& command) {
  auto request = std::make_shared<registry::FactsRequest>();
  const std::weak_ptr<registry::FactsRequest> heard = request;
  // The request goes with the alert; the finder and the deadline only hear
  // of it while it lasts, on the window's thread.
  auto deadline = std::make_shared<tk::Timer>(
      "facts_deadline", int(std::chrono::milliseconds(registry::FactsRequest::kWait).count()), true);
  deadline->SetOnTimer([heard, timer = deadline.get()] {
    timer->SetEnabled(false);
    if (auto request = heard.lock()) request->Settle();
  });
  request->keep = deadline;
  const std::string program = registry::ProgramOf(command, registry::LookupOn(platform_));
  facts_finder.Add([heard, program, &files = platform_.program_files]() -> components::WorkerQueue::Reply {
    const registry::ProgramFacts found =
        registry::Describe(program.empty() ? platform::FileFacts{} : files.Facts(program), files);
    return [heard, found] {
      const std::shared_ptr<registry::FactsRequest> request = heard.lock();
      if (!request) return;
      request->facts = found;
      request->found = true;
      if (request->on_found) request->on_found();
      request->Settle();
    };
  });
  return request;
}

void Protection::Notice(const std::string& text) {
  if (notices_told_.insert(text).second) w_.ShowNotice(text);
}

uint32_t Protection::OnScheduler(std::function<uint32_t()> call) {
  struct Answer {
    std::atomic<bool> done{false};
    uint32_t value = 0;
  };
  auto answer = std::make_shared<Answer>();
  w_.scheduler.Add([answer, call = std::move(call)]() -> components::WorkerQueue::Reply {
    answer->value = call();
    answer->done = true;
    return nullptr;
  });
  while (!answer->done) {
    Pump();
    if (!answer->done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return answer->value;
}

void Protection::RefreshProcessList() { w_.RefreshProcessList(); }

void Protection::BlockProgram(const std::string& text) { process::BlockProgram(*this, text); }

bool Protection::MoveToTrashcan(const std::string& path) {
  const bool moved = process::MoveToTrashcan(*this, path);
  w_.RefreshLists();
  return moved;
}

// ---- The watch

void Protection::Start() {
  if (Ending()) return;
  mon_HKLM.StartMonitor();
  mon_folders.StartMonitor();
  mon_hijacks.StartMonitor();
  if (!doors_watched_) return;
  WatchTaskFolders();
  mon_tasks.StartMonitor();
  mon_services.StartMonitor();
}

void Protection::Stop() {
  mon_HKLM.StopMonitor();
  mon_folders.StopMonitor();
  mon_hijacks.StopMonitor();
  mon_tasks.StopMonitor();
  mon_services.StopMonitor();
}

void Protection::StopAllWatches() {
  Stop();
  mon_policy.StopMonitor();
}

bool Protection::Watching() const {
  return mon_HKLM.Watching() || mon_folders.Watching() || mon_hijacks.Watching() || mon_tasks.Watching() ||
         mon_services.Watching();
}

}  // namespace app
