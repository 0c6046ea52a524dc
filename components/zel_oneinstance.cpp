#include "components/zel_oneinstance.h"

#include "toolkit/application.h"

namespace components {

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
  // Two copies starting at once meet here: the second to create the lock
  // counts as the other one.
  auto lock = platform_.system.CreateNamedMutex(base + "CriticalSection", true);
  if (!lock || lock->AlreadyExisted()) return true;
  bool running = true;
  instance_ = platform_.system.CreateNamedMutex(base + "Default", false);
  if (instance_) {
    // A copy that crashed left the mutex abandoned: this copy takes over.
    platform::AcquireResult r = instance_->Acquire(0);
    owner_ = r == platform::AcquireResult::Acquired || r == platform::AcquireResult::Abandoned;
    running = !owner_;
  }
  lock->Release();
  return running;
}

void TzelOneInstance::Loaded() {
  if (IsAnotherInstanceRunning()) ReactToOtherInstance();
  if (!owner_) return;
  // The running copy answers a later copy's call to come forward.
  std::weak_ptr<bool> alive = alive_;
  tk::App().GetBackend().ListenForMessage(BaseName() + "Activate", [this, alive] {
    if (auto a = alive.lock(); a && *a && OnActivateRequest) OnActivateRequest();
  });
}

void TzelOneInstance::ReactToOtherInstance() {
  tk::Application& app = tk::App();
  // The second copy's main window is never shown.
  app.SetShowMainForm(false);
  if (ShowMessage) app.MessageBox(tk::MsgKind::Warning, Message, tk::MsgButtons::Ok, app.Title());
  // The running copy may be hidden in the notification area, where coming
  // forward alone shows nothing: it is asked to show its window too.
  platform_.system.BringWindowForward(tk::Application::kWindowClass, app.Title(), BaseName() + "Activate");
  app.Terminate();
}

}  // namespace components
