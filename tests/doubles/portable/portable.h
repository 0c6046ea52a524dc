// The whole portable platform in one object, for tests that run the logic
// against an in-memory registry, a scripted process table and real files
// under a host folder.
#pragma once
#include "platform/platform.h"
#include "tests/doubles/portable/portable_event_log.h"
#include "tests/doubles/portable/portable_files.h"
#include "tests/doubles/portable/portable_network.h"
#include "tests/doubles/portable/portable_processes.h"
#include "tests/doubles/portable/portable_program_files.h"
#include "tests/doubles/portable/portable_registry.h"
#include "tests/doubles/portable/portable_shell.h"
#include "tests/doubles/portable/portable_system.h"
#include "tests/doubles/portable/portable_tasks.h"

namespace platform::portable {

struct PortablePlatform {
  explicit PortablePlatform(std::filesystem::path c_drive)
      : files(std::move(c_drive)), tasks(files), services(registry), program_files(files) {}

  PortableRegistry registry;
  PortableProcesses processes;
  PortableFiles files;
  PortableShell shell;
  PortableSystem system;
  PortableNetwork network;
  PortableEventLog event_log;
  PortableTasks tasks;
  PortableServices services;
  PortableProgramFiles program_files;

  Platform View() {
    return Platform{registry, processes, files, shell, system, network, event_log, tasks, services, program_files};
  }
};

// A fresh, empty host folder, removed with everything in it when destroyed.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace platform::portable
