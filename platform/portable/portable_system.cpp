#include "platform/portable/portable_system.h"

#include <map>

namespace platform::portable {
namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The process-wide namespace of mutex names: name -> live holders.
std::mutex& NamesLock() {
  static std::mutex mu;
  return mu;
}
std::map<std::string, int>& Names() {
  static std::map<std::string, int> names;
  return names;
}

class PortableMutex : public NamedMutex {
 public:
  explicit PortableMutex(std::string name) : name_(std::move(name)) {
    if (name_.empty()) return;
    std::lock_guard lock(NamesLock());
    existed_ = Names()[name_]++ > 0;
  }
  ~PortableMutex() override {
    if (name_.empty()) return;
    std::lock_guard lock(NamesLock());
    if (--Names()[name_] == 0) Names().erase(name_);
  }
  bool AlreadyExisted() const override { return existed_; }

 private:
  std::string name_;
  bool existed_ = false;
};

}  // namespace

std::optional<std::string> PortableSystem::UserName() {
  std::lock_guard lock(mu_);
  return user_;
}

std::string PortableSystem::ExePath() {
  std::lock_guard lock(mu_);
  return exe_path_;
}

OsVersion PortableSystem::Version() {
  std::lock_guard lock(mu_);
  return version_;
}

std::unique_ptr<NamedMutex> PortableSystem::CreateNamedMutex(const std::string& name) {
  std::string rest = name;
  for (const char* prefix : {"Global\\", "Local\\"}) {
    if (rest.rfind(prefix, 0) == 0) {
      rest.erase(0, std::string(prefix).size());
      break;
    }
  }
  if (rest.find('\\') != std::string::npos || name.find('\0') != std::string::npos) {
    return nullptr;
  }
  // "Local\X" and "X" are the same object within a session.
  std::string key = name.rfind("Global\\", 0) == 0 ? name : rest;
  return std::make_unique<PortableMutex>(key);
}

bool PortableSystem::BringWindowForward(const std::string& class_name,
                                        const std::string& caption) {
  if (class_name.empty() && caption.empty()) return false;
  std::lock_guard lock(mu_);
  for (size_t i = 0; i < windows_.size(); ++i) {
    Window& w = windows_[i];
    if ((class_name.empty() || SameIgnoringCase(w.class_name, class_name)) &&
        (caption.empty() || SameIgnoringCase(w.caption, caption))) {
      w.iconic = false;
      foreground_ = i;
      return true;
    }
  }
  return false;
}

void PortableSystem::SetUserName(std::optional<std::string> name) {
  std::lock_guard lock(mu_);
  user_ = std::move(name);
}

void PortableSystem::SetExePath(std::string path) {
  std::lock_guard lock(mu_);
  exe_path_ = std::move(path);
}

void PortableSystem::SetVersion(OsVersion version) {
  std::lock_guard lock(mu_);
  version_ = version;
}

size_t PortableSystem::AddWindow(const std::string& class_name, const std::string& caption,
                                 bool iconic) {
  std::lock_guard lock(mu_);
  windows_.push_back({class_name, caption, iconic});
  return windows_.size() - 1;
}

PortableSystem::Window PortableSystem::GetWindow(size_t index) const {
  std::lock_guard lock(mu_);
  return index < windows_.size() ? windows_[index] : Window{};
}

std::optional<size_t> PortableSystem::Foreground() const {
  std::lock_guard lock(mu_);
  return foreground_;
}

}  // namespace platform::portable
