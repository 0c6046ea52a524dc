#include "platform/portable/portable_processes.h"

#include <algorithm>

namespace platform::portable {
namespace {

std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<uint32_t> PortableProcesses::EnumerateIds(size_t max_count) {
  std::lock_guard lock(mu_);
  std::vector<uint32_t> ids;
  for (const auto& p : table_) {
    if (ids.size() >= max_count) break;
    ids.push_back(p.pid);
  }
  return ids;
}

std::optional<std::string> PortableProcesses::ImagePath(uint32_t pid) {
  std::lock_guard lock(mu_);
  if (hidden_.count(pid)) return std::nullopt;
  for (const auto& p : table_) {
    if (p.pid == pid) {
      if (p.path.empty()) return std::nullopt;  // the idle and system processes
      return p.path;
    }
  }
  return std::nullopt;
}

std::vector<ProcessEntry> PortableProcesses::Snapshot() {
  std::lock_guard lock(mu_);
  std::vector<ProcessEntry> entries;
  for (const auto& p : table_) entries.push_back({p.pid, FileNameOf(p.path)});
  return entries;
}

bool PortableProcesses::Terminate(uint32_t pid) {
  std::lock_guard lock(mu_);
  if (unstoppable_.count(pid)) return false;
  auto it = std::find_if(table_.begin(), table_.end(), [&](const Proc& p) { return p.pid == pid; });
  if (it == table_.end()) return false;
  table_.erase(it);
  terminated_.push_back(pid);
  return true;
}

void PortableProcesses::Add(uint32_t pid, const std::string& full_path) {
  std::lock_guard lock(mu_);
  for (auto& p : table_) {
    if (p.pid == pid) {
      p.path = full_path;
      return;
    }
  }
  table_.push_back({pid, full_path});
}

bool PortableProcesses::Running(uint32_t pid) const {
  std::lock_guard lock(mu_);
  return std::any_of(table_.begin(), table_.end(), [&](const Proc& p) { return p.pid == pid; });
}

std::vector<uint32_t> PortableProcesses::Terminated() const {
  std::lock_guard lock(mu_);
  return terminated_;
}

void PortableProcesses::SetTerminateFails(uint32_t pid, bool fails) {
  std::lock_guard lock(mu_);
  if (fails) {
    unstoppable_.insert(pid);
  } else {
    unstoppable_.erase(pid);
  }
}

void PortableProcesses::SetImagePathHidden(uint32_t pid, bool hidden) {
  std::lock_guard lock(mu_);
  if (hidden) {
    hidden_.insert(pid);
  } else {
    hidden_.erase(pid);
  }
}

}  // namespace platform::portable
