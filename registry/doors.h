// Scheduled tasks and services: the two places from which programs start
// that Windows fills with its own hundreds of entries. They are read here
// into entries (a name and a command); the scan judges and acts on them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/tasks.h"

namespace registry {

enum class Door { Tasks, Services };

inline constexpr std::string_view kTasksSection = "Scheduled tasks.";
inline constexpr std::string_view kServicesSection = "Local machine, services.";
std::string_view SectionText(Door door);

inline constexpr std::string_view kServicesPath = "SYSTEM\\CurrentControlSet\\Services";

inline constexpr std::string_view kAdminOnly =
    "Veltrane guards scheduled tasks and services only when it runs with administrator rights.";

// One entry of a door.
struct DoorEntry {
  std::string name;     // the task's path, "(2)" and on for its later actions; the service's name
  std::string command;  // what it runs; for an entry without a real command, a text naming the content
  // False for a task file that cannot be read as a task: such an entry is
  // never matched or allowed by its command.
  bool real_command = true;
  // A task: its path ("\Updater\Daily"), its file and the bytes read.
  std::string task_path;
  std::string file;
  std::string bytes;
  // A service: its key's name, and its start type as read.
  std::string service;
  uint32_t start = 0;
  bool operator==(const DoorEntry&) const = default;
};

// ---- Scheduled tasks

// Where reading the Tasks folder stops: folders deeper than this below it,
// files beyond this count, and files larger than this (then not a task).
inline constexpr int kMaxTaskLevels = 8;
inline constexpr size_t kMaxTaskFiles = 5000;
inline constexpr uint64_t kMaxTaskBytes = 1024 * 1024;
// Each folder is watched on its own: beyond this many it is a cut too.
inline constexpr size_t kMaxTaskFolders = 1000;

struct TaskTree {
  std::vector<std::string> folders;  // the Tasks folder first, each one read
  std::vector<std::string> files;    // every task file, as a full path
  // The folder at which reading stopped, when it did.
  std::optional<std::string> cut_at;
  // A folder that could not be listed; nothing is hidden unnoticed.
  std::optional<std::string> unlistable;
};
// Every folder and file below root, reparse points not followed, up to
// max_files files.
TaskTree ReadTaskTree(platform::Files& files, const std::string& root, size_t max_files = kMaxTaskFiles);
// "Veltrane stopped reading the Tasks folder at <path>: ...".
std::string CutText(const std::string& folder);

// The command of an Exec action: the program, quoted when it holds a blank
// and is not quoted already, then a blank and the arguments.
std::string TaskCommand(const platform::TaskExec& exec);
// The entries of one task file: one per Exec action, or one without a real
// command for a file that is no task (or too large, or unreadable).
std::vector<DoorEntry> TaskEntries(platform::Tasks& tasks, const std::string& root, const std::string& file,
                                   const std::optional<std::string>& bytes);
// The whole folder, or nothing when it is missing.
struct TaskScan {
  TaskTree tree;
  std::vector<DoorEntry> entries;
};
TaskScan ReadTasks(platform::Files& files, platform::Tasks& tasks);

// ---- Services

inline constexpr std::string_view kDllSuffix = " (DLL)";
// The entries of one service key, as read: none for a service that does not
// start with Windows, or cannot start.
std::vector<DoorEntry> ServiceEntries(platform::Registry& registry, const std::string& service);
// Every service's entries, in the key's order; nullopt when Windows refuses
// the Services key.
std::optional<std::vector<DoorEntry>> ReadServices(platform::Registry& registry);
std::string ServiceKeyPath(const std::string& service);
// A DWORD value; nullopt when it is missing or of another type.
std::optional<uint32_t> ReadDword(platform::RegistryKey& key, const std::string& name);

}  // namespace registry
