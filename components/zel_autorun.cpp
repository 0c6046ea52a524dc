#include "components/zel_autorun.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include "platform/text.h"

namespace components {

namespace {

constexpr const char* kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";

}  // namespace

std::string LogonTaskName(const std::string& user_sid) { return std::string(kSharedLogonTaskName) + " " + user_sid; }

bool ProtectedLocation(const std::string& path, const std::string& program_files, const std::string& windows) {
  // "." and ".." could lead back out of the folder; Windows paths have no '/'.
  if (path.find('/') != std::string::npos) return false;
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find('\\', start), path.size());
    const std::string_view part = std::string_view(path).substr(start, end - start);
    if (part == "." || part == "..") return false;
    start = end + 1;
  }
  if (platform::Below(path, program_files)) return true;
  const std::optional<std::string_view> in_windows = platform::Below(path, windows);
  return in_windows && in_windows->find('\\') == std::string_view::npos;
}

AutoRunKey AutoRunLocation(TzelAutoExecKind) {
  return {platform::RootKey::CurrentUser, std::string(kCurrentVersion) + "Run"};
}

std::string AutoRunValueName(const std::string& file_name) {
  size_t cut = file_name.find_last_of("\\:/");
  return cut == std::string::npos ? file_name : file_name.substr(cut + 1);
}

std::string QuotedCommand(const std::string& file_name) {
  if (file_name.size() >= 2 && file_name.front() == '"' && file_name.back() == '"') return file_name;
  return "\"" + file_name + "\"";
}

bool RegisterAutoRun(platform::Platform platform, TzelAutoExecKind kind, const std::string& file_name) {
  const AutoRunKey where = AutoRunLocation(kind);
  const std::string name = AutoRunValueName(file_name);
  // An empty name would be the key's default value, which is nobody's.
  if (name.empty()) return false;
  auto key = platform.registry.OpenOrCreate(where.root, where.path);
  if (!key) return false;
  return key->WriteText(name, QuotedCommand(file_name), platform::ValueType::Sz);
}

bool UnregisterAutoRun(platform::Platform platform, TzelAutoExecKind kind, const std::string& file_name) {
  const AutoRunKey where = AutoRunLocation(kind);
  const std::string name = AutoRunValueName(file_name);
  if (name.empty()) return true;  // such a value is never written
  auto key = platform.registry.Open(where.root, where.path, platform::Access::ReadWrite);
  if (!key) return false;
  if (!key->Read(name)) return true;
  return key->DeleteValue(name);
}

TzelAutoRun::TzelAutoRun(platform::Platform platform, TzelAutoExecKind kind, WorkerQueue& scheduler)
    : platform_(platform), scheduler_(scheduler), kind_(kind), file_name_(platform.system.ExePath()) {}

TzelAutoRun::~TzelAutoRun() { *alive_ = false; }

void TzelAutoRun::SetAutoRun(bool on) {
  if (on == auto_run_) return;
  auto_run_ = on;
  ApplyAutoRun();
}

void TzelAutoRun::ApplyAutoRun() {
  UnregisterAutoRun(platform_, kind_, file_name_);
  if (auto_run_ && !RegisterAutoRun(platform_, kind_, file_name_) && OnRegisterFailed) OnRegisterFailed();
  if (with_logon_task_) ApplyLogonTask();
}

void TzelAutoRun::ApplyLogonTask() {
  with_logon_task_ = true;
  ChangeLogonTask(kSharedLogonTaskName, std::nullopt);
  const std::optional<std::string> sid = platform_.system.UserSid();
  if (!sid) return;  // no name of its own: better none than another user's
  const std::string name = LogonTaskName(*sid);
  // Under user account control Windows does not start, from a Run key, a
  // program that asks for an administrator's rights; a log-on task with the
  // highest rights does. A copy without those rights is started by the Run
  // value alone, so it keeps no task (two copies would start).
  const bool wanted = auto_run_ && !file_name_.empty() && platform_.system.RunsElevated();
  if (wanted && ProtectedLocation(file_name_, platform_.system.ProgramFilesFolder(),
                                  platform_.processes.WindowsFolder())) {
    ChangeLogonTask(name, file_name_);
    return;
  }
  ChangeLogonTask(name, std::nullopt);
  if (wanted && !withheld_told_) {
    withheld_told_ = true;
    if (OnLogonTaskWithheld) OnLogonTaskWithheld();
  }
}

void TzelAutoRun::ChangeLogonTask(const std::string& name, std::optional<std::string> program) {
  // The job holds its own copies: the component may be gone when it runs.
  platform::System& system = platform_.system;
  scheduler_.Add([&system, name, program = std::move(program), this, alive = alive_]() -> WorkerQueue::Reply {
    const uint32_t error = program ? system.SetLogonTask(name, *program) : system.RemoveLogonTask(name);
    if (error == 0) return nullptr;
    return [this, alive, name, error] {
      if (*alive && OnLogonTaskFailed) OnLogonTaskFailed(name, error);
    };
  });
}

}  // namespace components
