#include "registry/doors.h"

#include "platform/services.h"
#include "platform/sha256.h"
#include "platform/text.h"
#include "registry/autorun.h"

namespace registry {

std::string_view SectionText(Door door) { return door == Door::Tasks ? kTasksSection : kServicesSection; }

// ---- Scheduled tasks

TaskTree ReadTaskTree(platform::Files& files, const std::string& root, size_t max_files) {
  TaskTree tree;
  struct Pending {
    std::string folder;
    int level;
  };
  std::vector<Pending> pending{{root, 0}};
  while (!pending.empty() && !tree.cut_at) {
    Pending at = std::move(pending.back());
    pending.pop_back();
    const platform::FolderList listed = files.ListFiles(at.folder);
    if (listed.status == platform::ListStatus::Missing) continue;
    if (listed.status == platform::ListStatus::Failed) {
      if (!tree.unlistable) tree.unlistable = at.folder;
      continue;
    }
    if (tree.folders.size() == kMaxTaskFolders) {
      tree.cut_at = at.folder;
      break;
    }
    tree.folders.push_back(at.folder);
    for (const std::string& name : listed.names) {
      if (tree.files.size() == max_files) {
        tree.cut_at = at.folder;
        break;
      }
      tree.files.push_back(at.folder + "\\" + name);
    }
    const platform::FolderList folders = files.ListFolders(at.folder);
    if (folders.names.empty()) continue;
    if (at.level == kMaxTaskLevels) {
      tree.cut_at = at.folder;
      break;
    }
    // Backwards onto the stack, so that they are read in name order.
    for (auto name = folders.names.rbegin(); name != folders.names.rend(); ++name)
      pending.push_back({at.folder + "\\" + *name, at.level + 1});
  }
  return tree;
}

std::string CutText(const std::string& folder) {
  return "Veltrane stopped reading the Tasks folder at " + folder + ": it holds more than it can check.";
}

std::string TaskCommand(const platform::TaskExec& exec) {
  std::string command = exec.command;
  const bool quoted = command.size() >= 2 && command.front() == '"' && command.back() == '"';
  if (!quoted && command.find_first_of(" \t") != std::string::npos) command = "\"" + command + "\"";
  if (!exec.arguments.empty()) command += " " + exec.arguments;
  return command;
}

std::vector<DoorEntry> TaskEntries(platform::Tasks& tasks, const std::string& root, const std::string& file,
                                   const std::optional<std::string>& bytes) {
  DoorEntry entry;
  entry.task_path = file.substr(root.size());
  entry.name = entry.task_path;
  entry.file = file;
  // A file that cannot be read as a task still starts whatever Windows reads
  // in it: it is named by its content, so that breaking it hides nothing.
  std::optional<platform::TaskXml> xml;
  if (bytes) {
    entry.bytes = *bytes;
    if (bytes->size() <= kMaxTaskBytes) xml = tasks.Parse(*bytes);
  }
  if (!xml || !xml->is_task) {
    entry.real_command = false;
    entry.command = bytes ? "(not a readable task, SHA-256 " + platform::Sha256Hex(*bytes) + ")"
                          : std::string("(not a readable task, the file cannot be read)");
    return {entry};
  }
  std::vector<DoorEntry> entries;
  for (size_t i = 0; i < xml->exec.size(); ++i) {
    DoorEntry action = entry;
    if (i > 0) action.name += " (" + std::to_string(i + 1) + ")";
    action.command = TaskCommand(xml->exec[i]);
    entries.push_back(std::move(action));
  }
  return entries;
}

TaskScan ReadTasks(platform::Files& files, platform::Tasks& tasks) {
  TaskScan scan;
  const std::string root = tasks.Folder();
  scan.tree = ReadTaskTree(files, root);
  for (const std::string& file : scan.tree.files) {
    for (DoorEntry& entry : TaskEntries(tasks, root, file, files.ReadAll(file))) scan.entries.push_back(std::move(entry));
  }
  return scan;
}

// ---- Services

std::string ServiceKeyPath(const std::string& service) { return std::string(kServicesPath) + "\\" + service; }

std::optional<uint32_t> ReadDword(platform::RegistryKey& key, const std::string& name) {
  std::optional<platform::RegValue> value = key.Read(name);
  if (!value || value->type != uint32_t(platform::ValueType::Dword) || value->data.size() != 4) return std::nullopt;
  uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = number << 8 | uint8_t(value->data[size_t(i)]);
  return number;
}

namespace {

// Win32 services (own or shared process, user services too) and drivers.
constexpr uint32_t kStartingTypes = 0x10 | 0x20 | 0x1 | 0x2;
constexpr uint32_t kLastStartAtBoot = uint32_t(platform::StartType::Automatic);

bool HostedBySvchost(std::string_view command) {
  for (size_t at = 0; at + 11 <= command.size(); ++at)
    if (platform::SameAsciiCaseless(command.substr(at, 11), "svchost.exe")) return true;
  return false;
}

}  // namespace

std::vector<DoorEntry> ServiceEntries(platform::Registry& registry, const std::string& service) {
  std::unique_ptr<platform::RegistryKey> key =
      registry.Open(platform::RootKey::LocalMachine, ServiceKeyPath(service), platform::Access::Read);
  if (!key) return {};
  const std::optional<uint32_t> type = ReadDword(*key, "Type"), start = ReadDword(*key, "Start");
  if (!type || !(*type & kStartingTypes) || !start || *start > kLastStartAtBoot) return {};
  DoorEntry entry;
  entry.service = service;
  entry.start = *start;
  std::vector<DoorEntry> entries;
  if (std::optional<std::string> image = ReadText(*key, "ImagePath")) {
    entry.name = service;
    entry.command = *image;
    entries.push_back(entry);
  }
  // Only svchost loads a service's DLL: it is looked for in a service that
  // svchost hosts, or one without a program of its own, and nowhere else,
  // which keeps the hundreds of other services at a key and three values.
  std::optional<std::string> dll;
  if (entries.empty() || HostedBySvchost(entries.front().command)) {
    dll = ReadText(*key, "ServiceDll");
    if (!dll) {
      if (std::unique_ptr<platform::RegistryKey> parameters = registry.Open(
              platform::RootKey::LocalMachine, ServiceKeyPath(service) + "\\Parameters", platform::Access::Read))
        dll = ReadText(*parameters, "ServiceDll");
    }
  }
  if (dll) {
    entry.name = service + std::string(kDllSuffix);
    entry.command = *dll;
    entries.push_back(entry);
  }
  return entries;
}

std::optional<std::vector<DoorEntry>> ReadServices(platform::Registry& registry) {
  AutorunKey services = OpenAutorunKey(registry, platform::RootKey::LocalMachine, kServicesPath);
  std::vector<DoorEntry> entries;
  if (services.status == KeyOpen::Missing) return entries;
  if (!services.key) return std::nullopt;
  for (const std::string& name : services.key->SubkeyNames())
    for (DoorEntry& entry : ServiceEntries(registry, name)) entries.push_back(std::move(entry));
  return entries;
}

}  // namespace registry
