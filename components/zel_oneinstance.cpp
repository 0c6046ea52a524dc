#include "components/zel_oneinstance.h"

#include "toolkit/application.h"

namespace components {

TzelOneInstance::TzelOneInstance(platform::Platform platform) : platform_(platform) {}

TzelOneInstance::~TzelOneInstance() {
  *alive_ = false;
  if (instance_ && owner_) instance_->Release();
}

std::string TzelOneInstance::BaseName() const {
  std::string name;
  if (ExeNameAsIdentifier) {
    name = platform_.system.ExePath();
    for (char& c : name)
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  } else {
    name = tk::App().Title();
  }
  name += Identifier + ".OneInstance.";
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

void TzelOneInstance::CheckInstance() {
  if (IsAnotherInstanceRunning()) ReactToOtherInstance();
}

void TzelOneInstance::Loaded() {
  CheckInstance();
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
  bool show_main_form = app.ShowMainForm();
  app.SetShowMainForm(false);
  bool terminate = true;
  if (ShowMessage) {
    if (OnShowMessage) {
      OnShowMessage(*this, terminate);
    } else {
      std::string text = Message.empty() ? "Application \"" + app.Title() + "\" is already running." : Message;
      app.MessageBox(tk::MsgKind::Warning, text, tk::MsgButtons::Ok, app.Title());
    }
  }
  if (ActivatePrevInstance) ActivatePreviousInstance();
  if (terminate)
    app.Terminate();
  else
    app.SetShowMainForm(show_main_form);
}

void TzelOneInstance::ActivatePreviousInstance() {
  // The running copy may be hidden in the notification area, where coming
  // forward alone shows nothing: it is asked to show its window too.
  platform_.system.BringWindowForward(tk::Application::kWindowClass, tk::App().Title(), BaseName() + "Activate");
}

}  // namespace components
