// The main window's protection: the data files, the person's settings, the
// scan gate, the live watch of the guarded places and of the
// administrator's policy, the event log and the refusals told. It is the
// context the engines work in; the window owns it and shows what it does.
#pragma once
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "components/folder_monitor.h"
#include "components/worker_queue.h"
#include "components/zel_registry_monitor.h"
#include "registry/context.h"
#include "registry/doors.h"
#include "registry/scan_gate.h"
#include "toolkit/control.h"

namespace app {

class Tvelmain;

// What a scan covers: an argument, never the state of the person's boxes.
struct ScanCoverage {
  bool registry = false;
  bool memory = false;
};

class Protection final : public registry::Context, public registry::Watch {
 public:
  Protection(Tvelmain& window, platform::Platform platform);

  // The data files of this person, opened by the start-up.
  void OpenDataFiles(const std::string& user_name);
  bool DataFilesOpen() const { return files_ != nullptr; }

  // The pages write the person's changes back here.
  registry::Settings& EditSettings() { return settings_; }

  // The watches, set up once the window is built, and started once the
  // single-instance guard has let this copy run.
  void SetUpWatches();
  void Loaded();
  // The session ends: nothing is left watching.
  void StopAllWatches();

  // Under the scan gate: each waits for a running scan to end. What "Scan
  // now" covers is read when it runs, which for a deferred one is after
  // the scan it waited for.
  void ScanNow();
  void ScanRegistry();
  // The scans themselves, for callers that already hold the gate.
  void Scan(ScanCoverage coverage);
  void ExitScan();
  void MemoryScan();
  registry::ScanGate& Gate() { return gate_; }

  // registry::Context
  platform::Platform Platform() override { return platform_; }
  registry::DataFiles& Data() override;
  const registry::Settings& Settings() override { return settings_; }
  registry::Watch& Watch() override { return *this; }
  void Pump() override;
  bool Ending() override;
  tk::ModalResult Tell(tk::MsgKind kind, const std::string& text, tk::MsgButtons buttons) override;
  // When the log will not take the event, the status line says so, once
  // per run.
  void Log(events::Event event, const std::vector<std::string>& strings = {}) override;
  // For a copy without an administrator's rights the no-rights exit,
  // otherwise a finding told once per run and key (a deletion each time).
  void Refused(const std::string& key_text, registry::Refusal refusal) override;
  void ShowScanPage() override;
  void Progress(int position, int max) override;
  void ShowBalloon() override;
  void ShowBalloon(const std::string& text) override;
  registry::Decision Ask(const registry::Question& question) override;
  registry::Decision Ask(const std::string& path, bool forbidden_by_policy) override;
  void RefreshLists() override;
  void RefreshProcessList() override;
  void BlockProgram(const std::string& text) override;
  bool MoveToTrashcan(const std::string& path) override;
  std::shared_ptr<registry::FactsRequest> FindFacts(const std::string& command) override;
  void Notice(const std::string& text) override;
  uint32_t OnScheduler(std::function<uint32_t()> call) override;

  // registry::Watch: the registry keys and the Startup folders, and, for a
  // copy with an administrator's rights, the scheduled tasks and services.
  void Start() override;
  void Stop() override;
  bool Watching() const override;
  bool Live() const override { return settings_.auto_skan_zywy; }

 private:
  // A change of the administrator's lists: no question, the lists shown
  // anew, and a program newly forbidden stopped at once.
  void PolicyChanged();
  // A change of the tasks or the services: no question; once the changes
  // have settled, that place alone is scanned quietly.
  void DoorChanged(tk::Timer& settle);
  void ScanQuietly(registry::Door door);
  void ScanHijacksQuietly();
  // Every folder of the Tasks folder's tree as it is now, each watched on
  // its own.
  void WatchTaskFolders();

  Tvelmain& w_;
  const platform::Platform platform_;
  std::unique_ptr<registry::DataFiles> files_;
  registry::Settings settings_;
  // A scan asked for while another runs (or while the start-up runs) waits
  // for it to end.
  registry::ScanGate gate_;
  components::TzelRegistryMonitor mon_HKLM;  // every autostart key
  components::FolderMonitor mon_folders;      // the Startup folders
  components::TzelRegistryMonitor mon_policy;  // the administrator's lists
  components::FolderMonitor mon_tasks;         // every folder of the Tasks folder
  components::TzelRegistryMonitor mon_services;  // the Services key and its subkeys
  components::TzelRegistryMonitor mon_hijacks;   // the keys of the hijack places and their subkeys
  bool doors_watched_ = false;
  std::vector<std::string> task_folders_;
  // Changes come in bursts: the quiet scan waits for 500 ms without one.
  tk::Timer tasks_settle_{"tasks_settle", 500};
  tk::Timer services_settle_{"services_settle", 500};
  tk::Timer hijacks_settle_{"hijacks_settle", 500};
  // The hijack keys changed since their last quiet scan took them.
  std::vector<platform::KeyLocation> hijacks_changed_;
  std::vector<std::string> policy_forbidden_;
  // The status line has said that the event log cannot be written.
  bool event_log_failure_told_ = false;
  // The keys and refusals told in this run.
  std::set<std::pair<std::string, registry::Refusal>> refusals_told_;
  std::set<std::string> notices_told_;

 public:
  // Finds the facts of programs: reading and verifying a file takes long.
  components::WorkerQueue facts_finder;
};

}  // namespace app
