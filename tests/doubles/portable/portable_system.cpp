#include "tests/doubles/portable/portable_system.h"

#include <chrono>
#include <condition_variable>
#include <map>

#include "platform/text.h"

namespace platform::portable {
namespace {

// The process-wide namespace of mutex names. A mutex lives while a handle
// to it is open; its owner is a handle, standing for the program holding it.
struct MutexObject {
  int handles = 0;
  const void* owner = nullptr;
  bool abandoned = false;
};
std::mutex& NamesLock() {
  static std::mutex mu;
  return mu;
}
std::condition_variable& Released() {
  static std::condition_variable cv;
  return cv;
}
std::map<std::string, MutexObject>& Names() {
  static std::map<std::string, MutexObject> names;
  return names;
}

class PortableMutex : public NamedMutex {
 public:
  PortableMutex(std::string name, bool initial_owner) : name_(std::move(name)) {
    std::lock_guard lock(NamesLock());
    MutexObject& m = Object();
    existed_ = !name_.empty() && m.handles > 0;
    ++m.handles;
    if (initial_owner && !existed_) m.owner = this;
  }
  ~PortableMutex() override {
    std::lock_guard lock(NamesLock());
    MutexObject& m = Object();
    if (m.owner == this) {
      m.owner = nullptr;
      m.abandoned = true;
      Released().notify_all();
    }
    if (--m.handles == 0) Forget();
  }
  bool AlreadyExisted() const override { return existed_; }

  AcquireResult Acquire(int timeout_ms) override {
    std::unique_lock lock(NamesLock());
    auto free = [&] { return Object().owner == nullptr || Object().owner == this; };
    if (!free()) {
      if (timeout_ms == 0) return AcquireResult::TimedOut;
      if (timeout_ms < 0)
        Released().wait(lock, free);
      else if (!Released().wait_for(lock, std::chrono::milliseconds(timeout_ms), free))
        return AcquireResult::TimedOut;
    }
    MutexObject& m = Object();
    m.owner = this;
    if (m.abandoned) {
      m.abandoned = false;
      return AcquireResult::Abandoned;
    }
    return AcquireResult::Acquired;
  }

  void Release() override {
    std::lock_guard lock(NamesLock());
    if (Object().owner != this) return;
    Object().owner = nullptr;
    Released().notify_all();
  }

 private:
  // An unnamed mutex is an object of its own.
  MutexObject& Object() { return name_.empty() ? unnamed_ : Names()[name_]; }
  void Forget() {
    if (!name_.empty()) Names().erase(name_);
  }
  std::string name_;
  MutexObject unnamed_;
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

std::unique_ptr<NamedMutex> PortableSystem::CreateNamedMutex(const std::string& name, bool initial_owner,
                                                             const std::string& private_namespace) {
  if (!private_namespace.empty() && RunsElevated()) {
    if (name.empty() || name.find_first_of(std::string("\\\0", 2)) != std::string::npos) return nullptr;
    // No plain name reaches it: plain names never hold a NUL.
    return std::make_unique<PortableMutex>(std::string(1, '\0') + private_namespace + "\\" + name, initial_owner);
  }
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
  return std::make_unique<PortableMutex>(key, initial_owner);
}

std::vector<uintptr_t> PortableSystem::FindWindows(const std::string& class_name, const std::string& caption) {
  std::lock_guard lock(mu_);
  std::vector<uintptr_t> found;
  for (size_t i = 0; i < windows_.size(); ++i) {
    const Window& w = windows_[i];
    if ((class_name.empty() || SameAsciiCaseless(w.class_name, class_name)) &&
        (caption.empty() || SameAsciiCaseless(w.caption, caption)))
      found.push_back(i + 1);
  }
  return found;
}

bool PortableSystem::WindowOfProgram(uintptr_t window, const std::string& program) {
  std::lock_guard lock(mu_);
  return window >= 1 && window <= windows_.size() && !program.empty() &&
         SameAsciiCaseless(windows_[window - 1].program, program);
}

std::optional<intptr_t> PortableSystem::SendRegisteredMessage(uintptr_t window, const std::string& message, int) {
  std::function<intptr_t(const std::string&)> on_send;
  {
    std::lock_guard lock(mu_);
    if (window < 1 || window > windows_.size()) return std::nullopt;
    on_send = windows_[window - 1].on_send;
  }
  return on_send ? on_send(message) : 0;
}

bool PortableSystem::BringWindowForward(uintptr_t window, const std::string& message) {
  std::function<void(const std::string&)> notify;
  {
    std::lock_guard lock(mu_);
    if (window < 1 || window > windows_.size()) return false;
    size_t i = window - 1;
    windows_[i].iconic = false;
    foreground_ = i;
    if (message.empty()) return true;
    windows_[i].messages.push_back(message);
    notify = on_message_posted_;
  }
  if (notify) notify(message);
  return true;
}

void PortableSystem::SetOnMessagePosted(std::function<void(const std::string& message)> handler) {
  std::lock_guard lock(mu_);
  on_message_posted_ = std::move(handler);
}

bool PortableSystem::RunsElevated() {
  std::lock_guard lock(mu_);
  return elevated_;
}

void PortableSystem::WaitWhileSlow() {
  std::unique_lock lock(slow_mu_);
  slow_cv_.wait(lock, [this] { return !scheduler_slow_; });
}

uint32_t PortableSystem::SetLogonTask(const std::string& name, const std::string& program) {
  WaitWhileSlow();
  std::lock_guard lock(mu_);
  if (scheduler_error_) return scheduler_error_;
  if (name.empty()) return kInvalidArgument;
  tasks_[name] = program;
  return 0;
}

uint32_t PortableSystem::RemoveLogonTask(const std::string& name) {
  WaitWhileSlow();
  std::lock_guard lock(mu_);
  if (scheduler_error_) return scheduler_error_;
  if (name.empty()) return kInvalidArgument;
  tasks_.erase(name);
  return 0;
}

std::optional<std::string> PortableSystem::UserSid() {
  std::lock_guard lock(mu_);
  return sid_;
}

void PortableSystem::SetRunsElevated(bool elevated) {
  std::lock_guard lock(mu_);
  elevated_ = elevated;
}

void PortableSystem::SetSchedulerError(uint32_t error) {
  std::lock_guard lock(mu_);
  scheduler_error_ = error;
}

void PortableSystem::SetSchedulerSlow(bool slow) {
  {
    std::lock_guard lock(slow_mu_);
    scheduler_slow_ = slow;
  }
  slow_cv_.notify_all();
}

std::optional<std::string> PortableSystem::LogonTask(const std::string& name) const {
  std::lock_guard lock(mu_);
  auto it = tasks_.find(name);
  return it == tasks_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

void PortableSystem::SetUserName(std::optional<std::string> name) {
  std::lock_guard lock(mu_);
  user_ = std::move(name);
}

void PortableSystem::SetUserSid(std::optional<std::string> sid) {
  std::lock_guard lock(mu_);
  sid_ = std::move(sid);
}

void PortableSystem::SetExePath(std::string path) {
  std::lock_guard lock(mu_);
  exe_path_ = std::move(path);
}

size_t PortableSystem::AddWindow(Window window) {
  std::lock_guard lock(mu_);
  windows_.push_back(std::move(window));
  return windows_.size() - 1;
}

size_t PortableSystem::AddWindow(const std::string& class_name, const std::string& caption, bool iconic) {
  return AddWindow(Window{class_name, caption, iconic, {}, {}, {}});
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
