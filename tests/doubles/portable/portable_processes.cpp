#include "tests/doubles/portable/portable_processes.h"

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

class PortableProcesses::Stopped : public StoppedProcess {
 public:
  Stopped(PortableProcesses& owner, uint32_t pid, Slow slow) : owner_(owner), pid_(pid), slow_(slow) {}
  State WaitForEnd() override {
    {
      std::lock_guard lock(owner_.mu_);
      ++owner_.end_waits_;
    }
    if (slow_.pending_waits > 0) {
      --slow_.pending_waits;
      return State::Pending;
    }
    if (!slow_.ends) return State::GaveUp;
    owner_.Remove(pid_);
    return State::Ended;
  }

 private:
  PortableProcesses& owner_;
  uint32_t pid_;
  Slow slow_;
};

StopResult PortableProcesses::Stop(uint32_t pid, const std::function<bool(const std::string&)>& is_it) {
  StopResult result;
  std::string path;
  Slow slow{0, true};
  {
    std::lock_guard lock(mu_);
    if (pid == 0) return result;
    auto it = std::find_if(table_.begin(), table_.end(), [&](const Proc& p) { return p.pid == pid; });
    if (it == table_.end()) {
      result.status = StopStatus::NotIt;
      return result;
    }
    if (auto reuse = reused_.find(pid); reuse != reused_.end()) {
      it->path = reuse->second;
      reused_.erase(reuse);
    }
    if (hidden_.count(pid) || it->path.empty()) return result;
    path = it->path;
    if (critical_.count(pid)) {
      result.status = StopStatus::Critical;
    } else if (unstoppable_.count(pid)) {
      return result;
    }
    if (auto s = slow_.find(pid); s != slow_.end()) slow = s->second;
  }
  // Outside the lock: the check is the caller's code.
  if (!is_it(path)) {
    result.status = StopStatus::NotIt;
    return result;
  }
  if (result.status == StopStatus::Critical) return result;
  {
    std::lock_guard lock(mu_);
    terminated_.push_back(pid);
  }
  result.status = StopStatus::Stopped;
  result.stopped = std::make_unique<Stopped>(*this, pid, slow);
  return result;
}

void PortableProcesses::Remove(uint32_t pid) {
  std::lock_guard lock(mu_);
  table_.erase(std::remove_if(table_.begin(), table_.end(), [&](const Proc& p) { return p.pid == pid; }),
               table_.end());
}

bool PortableProcesses::IsCritical(uint32_t pid) {
  std::lock_guard lock(mu_);
  return critical_.count(pid) > 0;
}

std::string PortableProcesses::WindowsFolder() {
  std::lock_guard lock(mu_);
  return windows_folder_;
}

std::string PortableProcesses::SystemFolder() { return WindowsFolder() + "\\system32"; }

void PortableProcesses::SetCritical(uint32_t pid, bool critical) {
  std::lock_guard lock(mu_);
  if (critical) {
    critical_.insert(pid);
  } else {
    critical_.erase(pid);
  }
}

void PortableProcesses::SetSlowToEnd(uint32_t pid, int pending_waits, bool ends) {
  std::lock_guard lock(mu_);
  slow_[pid] = Slow{pending_waits, ends};
}

void PortableProcesses::ReuseIdOnStop(uint32_t pid, const std::string& new_path) {
  std::lock_guard lock(mu_);
  reused_[pid] = new_path;
}

void PortableProcesses::SetWindowsFolder(const std::string& folder) {
  std::lock_guard lock(mu_);
  windows_folder_ = folder;
}

bool PortableProcesses::Is64BitWindows() {
  std::lock_guard lock(mu_);
  return is_64bit_;
}

void PortableProcesses::SetIs64BitWindows(bool is_64bit) {
  std::lock_guard lock(mu_);
  is_64bit_ = is_64bit;
}

int PortableProcesses::EndWaits() const {
  std::lock_guard lock(mu_);
  return end_waits_;
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
