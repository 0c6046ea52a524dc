#include "components/zel_autorun.h"

namespace components {

namespace {

constexpr const char* kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion\\";

}  // namespace

AutoRunKey AutoRunLocation(TzelAutoExecKind kind) {
  using platform::RootKey;
  switch (kind) {
    case TzelAutoExecKind::aekMachineRun: return {RootKey::LocalMachine, std::string(kCurrentVersion) + "Run"};
    case TzelAutoExecKind::aekMachineRunOnce: return {RootKey::LocalMachine, std::string(kCurrentVersion) + "RunOnce"};
    case TzelAutoExecKind::aekUserRun: return {RootKey::CurrentUser, std::string(kCurrentVersion) + "Run"};
    case TzelAutoExecKind::aekUserRunOnce: return {RootKey::CurrentUser, std::string(kCurrentVersion) + "RunOnce"};
  }
  return {RootKey::LocalMachine, std::string(kCurrentVersion) + "Run"};
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

TzelAutoRun::TzelAutoRun(platform::Platform platform, TzelAutoExecKind kind)
    : platform_(platform), kind_(kind), file_name_(platform.system.ExePath()) {}

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
  // Under user account control Windows does not start, from a Run key, a
  // program that asks for an administrator's rights; a log-on task with the
  // highest rights does. A copy without those rights is started by the Run
  // value alone, so it keeps no task (two copies would start). The task has
  // one name whatever the settings: setting it replaces an older one.
  if (auto_run_ && !file_name_.empty() && platform_.system.RunsElevated())
    platform_.system.SetLogonTask(kLogonTaskName, file_name_);
  else
    platform_.system.RemoveLogonTask(kLogonTaskName);
}

}  // namespace components
