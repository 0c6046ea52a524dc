#include "components/zel_oneinstance.h"

#include <chrono>
#include "toolkit/application.h"

namespace components {

namespace {
// A copy holds the start-up lock only for two quick calls; one held longer
// is not a copy in its check, and the instance mutex decides without it.
constexpr int kLockWaitMs = 500;

bool Took(platform::AcquireResult r) {
  // A copy that crashed left it abandoned: this copy takes over.
  return r == platform::AcquireResult::Acquired || r == platform::AcquireResult::Abandoned;
}
}  // namespace

TzelOneInstance::TzelOneInstance(platform::Platform platform) : platform_(platform) {}

TzelOneInstance::~TzelOneInstance() {
  *alive_ = false;
  if (instance_ && owner_) instance_->Release();
}

std::string TzelOneInstance::BaseName() const {
  std::string name = tk::App().Title() + ".OneInstance.";
  // A backslash would name a namespace, which the system refuses.
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

bool TzelOneInstance::IsAnotherInstanceRunning() {
  const std::string base = BaseName();
  // Where Windows offers it, no program without administrator rights can
  // create these names before us.
  const std::string space = base.substr(0, base.size() - 1);
  platform::System& system = platform_.system;
  // Two copies starting at once meet here, one after the other.
  auto lock = system.CreateNamedMutex(base + "CriticalSection", true, space);
  const bool locked = lock && (!lock->AlreadyExisted() || Took(lock->Acquire(kLockWaitMs)));
  instance_ = system.CreateNamedMutex(base + "Default", false, space);
  owner_ = instance_ && Took(instance_->Acquire(0));
  if (locked) lock->Release();
  if (owner_) return false;
  running_copy_ = FindRunningCopy();
  return running_copy_ != 0;
}

uintptr_t TzelOneInstance::FindRunningCopy() {
  platform::System& system = platform_.system;
  const std::string program = system.ExePath();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
  // Only a window of this very program file is asked: any program can make
  // a window of that class and caption, and answer anything.
  for (uintptr_t window : system.FindWindows(tk::Application::kWindowClass, tk::App().Title())) {
    if (!system.WindowOfProgram(window, program)) continue;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (system.SendRegisteredMessage(window, BaseName() + "Activate", int(left.count())) == kAnswer) return window;
  }
  return 0;
}

void TzelOneInstance::Loaded() {
  if (IsAnotherInstanceRunning()) {
    ReactToOtherInstance();
    return;
  }
  // Every running copy answers a later one, holding the mutex or not. A
  // copy started without elevation must still reach an elevated one.
  std::weak_ptr<bool> alive = alive_;
  tk::App().GetBackend().ListenForMessage(
      BaseName() + "Activate",
      [this, alive] {
        if (auto a = alive.lock(); a && *a && OnActivateRequest) OnActivateRequest();
      },
      tk::Rights::Fewer, kAnswer);
}

void TzelOneInstance::ReactToOtherInstance() {
  tk::Application& app = tk::App();
  // The second copy's main window is never shown.
  app.SetShowMainForm(false);
  if (ShowMessage) app.MessageBox(tk::MsgKind::Warning, Message, tk::MsgButtons::Ok, app.Title());
  // The running copy may be hidden in the notification area, where coming
  // forward alone shows nothing: it is asked to show its window too.
  platform_.system.BringWindowForward(running_copy_, BaseName() + "Activate");
  app.Terminate();
}

}  // namespace components
