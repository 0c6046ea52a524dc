#include "tests/doubles/portable/portable_shell.h"

#include <algorithm>

namespace platform::portable {

namespace {

// Windows paths match in any case.
std::string Folded(std::string path) {
  for (char& c : path) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return path;
}

}  // namespace

bool PortableShell::Start(const std::string& program, const std::string& arguments, const std::string& folder) {
  std::lock_guard lock(mu_);
  auto full = [](const std::string& path) { return path.size() >= 3 && path[1] == ':' && path[2] == '\\'; };
  if (fails_ || !full(program) || !full(folder) || (program + arguments + folder).find('\0') != std::string::npos)
    return false;
  started_.push_back({program, arguments, folder});
  return true;
}

bool PortableShell::NotifyIcon(NotifyIconOp op, const NotifyIconData& data) {
  std::lock_guard lock(mu_);
  calls_.push_back({op, data});
  auto it = std::find_if(icons_.begin(), icons_.end(), [&](const NotifyIconData& icon) {
    return icon.window == data.window && icon.id == data.id;
  });
  switch (op) {
    case NotifyIconOp::Add:
      if (it != icons_.end() || data.window == 0) return false;
      icons_.push_back(data);
      return true;
    case NotifyIconOp::Delete:
      if (it == icons_.end()) return false;
      icons_.erase(it);
      return true;
    case NotifyIconOp::Modify:
      if (it == icons_.end()) return false;
      // Only what the flags name changes, as in the shell.
      if (data.flags & kNifMessage) it->callback_message = data.callback_message;
      if (data.flags & kNifIcon) it->icon = data.icon;
      if (data.flags & kNifTip) it->tip = data.tip;
      if (data.flags & kNifInfo)
        balloons_.push_back({data.info_title, data.info, data.info_flags, data.timeout_ms});
      return true;
  }
  return false;
}

std::vector<PortableShell::Started> PortableShell::StartedPrograms() const {
  std::lock_guard lock(mu_);
  return started_;
}

void PortableShell::SetFails(bool fails) {
  std::lock_guard lock(mu_);
  fails_ = fails;
}

std::vector<PortableShell::NotifyCall> PortableShell::NotifyCalls() const {
  std::lock_guard lock(mu_);
  return calls_;
}

std::vector<NotifyIconData> PortableShell::Icons() const {
  std::lock_guard lock(mu_);
  return icons_;
}

std::vector<PortableShell::Balloon> PortableShell::Balloons() const {
  std::lock_guard lock(mu_);
  return balloons_;
}

void PortableShell::ClearNotifyCalls() {
  std::lock_guard lock(mu_);
  calls_.clear();
  balloons_.clear();
}

void PortableShell::RestartShell() {
  std::lock_guard lock(mu_);
  icons_.clear();
}

std::optional<std::string> PortableShell::StartupFolderPath(StartupFolder which) {
  std::lock_guard lock(mu_);
  auto it = startup_folders_.find(which);
  if (it == startup_folders_.end()) return std::nullopt;
  return it->second;
}

void PortableShell::SetStartupFolder(StartupFolder which, std::optional<std::string> path) {
  std::lock_guard lock(mu_);
  if (path)
    startup_folders_[which] = *path;
  else
    startup_folders_.erase(which);
}

std::optional<Shortcut> PortableShell::ReadShortcut(const std::string& path) {
  std::lock_guard lock(mu_);
  auto it = shortcuts_.find(Folded(path));
  if (it == shortcuts_.end()) return std::nullopt;
  return it->second;
}

void PortableShell::AddShortcut(const std::string& path, Shortcut shortcut) {
  std::lock_guard lock(mu_);
  shortcuts_[Folded(path)] = std::move(shortcut);
}

}  // namespace platform::portable
