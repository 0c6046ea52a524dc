#include "toolkit/application.h"

#include <algorithm>
#include <cassert>

namespace tk {

namespace {
Application* g_app = nullptr;

const char* CaptionOf(MsgKind kind) {
  switch (kind) {
    case MsgKind::Information: return "Information";
    case MsgKind::Warning: return "Warning";
    case MsgKind::Error: return "Error";
    case MsgKind::Confirmation: return "Confirm";
    case MsgKind::Plain: return nullptr;  // the application title
  }
  return nullptr;
}
}  // namespace

Application::Application(Backend& backend) : backend_(backend), ui_thread_(std::this_thread::get_id()) {
  assert(!g_app);
  g_app = this;
}

Application::~Application() {
  if (g_app == this) g_app = nullptr;
}

Application& Application::Instance() {
  assert(g_app);
  return *g_app;
}

bool Application::Exists() { return g_app != nullptr; }

void Application::SetTitle(const std::string& title) {
  title_ = title;
  backend_.TitleChanged(title);
}

void Application::Run() {
  if (main_form_ && show_main_form_ && !terminated_) main_form_->Show();
  while (!terminated_) HandleMessage();
  backend_.Terminating();
}

void Application::HandleMessage() {
  if (!backend_.ProcessOne()) Idle();
}

void Application::Idle() {
  bool done = true;
  if (OnIdle) Invoke([&] { OnIdle(done); });
  if (done && !terminated_) backend_.WaitForEvent();
}

void Application::ProcessMessages() {
  while (!terminated_ && backend_.ProcessOne()) {
  }
}

void Application::Terminate() {
  terminated_ = true;
  backend_.Wake();
}

ModalResult Application::MessageBox(MsgKind kind, const std::string& text, MsgButtons buttons,
                                    const std::string& caption) {
  std::string cap = caption;
  if (cap.empty()) {
    const char* c = CaptionOf(kind);
    cap = c ? c : title_;
  }
  return backend_.ShowMessageBox(kind, cap, text, buttons);
}

ModalResult Application::ShowModal(Form& form) {
  form.CreateHandle();
  form.SetModalResult(ModalResult::None);
  form.NoteModal(true);
  ++modal_depth_;
  modal_forms_.push_back(&form);
  // Hidden until now: whatever it was, it is not the active window.
  form.NoteDeactivated();
  if (form.OnShow) Invoke(form.OnShow);
  backend_.BeginModal(form);
  if (!form.Active()) form.NoteActivated();
  for (;;) {
    // Once the program is ending nothing more is handled, not even here.
    if (!terminated_) HandleMessage();
    if (terminated_) form.SetModalResult(ModalResult::Cancel);
    if (form.GetModalResult() == ModalResult::None) continue;
    // The form may refuse to close, as a non-modal one may.
    CloseAction action = CloseAction::Hide;
    if (form.OnClose) Invoke([&] { form.OnClose(action); });
    if (action != CloseAction::None || terminated_) break;
    form.SetModalResult(ModalResult::None);
  }
  ModalResult result = form.GetModalResult();
  backend_.EndModal(form);
  --modal_depth_;
  modal_forms_.erase(std::find(modal_forms_.begin(), modal_forms_.end(), &form));
  form.NoteModal(false);
  form.Hide();
  form.NoteDeactivated();
  return result;
}

void Application::Queue(std::function<void()> call) {
  backend_.Queue([this, call = std::move(call)] { Invoke(call); });
}

void Application::EndSession() {
  if (session_ended_) return;
  session_ended_ = true;
  if (OnEndSession) Invoke(OnEndSession);
  Terminate();
}

void Application::Invoke(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::runtime_error("Unknown error."));
  }
}

void Application::ShowException(const std::exception& e) {
  backend_.ShowMessageBox(MsgKind::Error, title_, e.what(), MsgButtons::Ok);
}

}  // namespace tk
