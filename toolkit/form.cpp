#include "toolkit/form.h"

#include "toolkit/application.h"

namespace tk {

Form::Form(std::string name, std::string class_name)
    : Control(nullptr, std::move(name), ControlKind::Form), class_name_(std::move(class_name)) {
  SetVisible(false);
}

Form::~Form() {
  if (Application::Exists() && App().MainForm() == this) App().SetMainForm(nullptr);
}

void Form::SetModalResult(ModalResult r) {
  modal_result_ = r;
  if (modal_ && r != ModalResult::None && Application::Exists()) App().GetBackend().Wake();
}

void Form::SetScreenPos(int left, int top) {
  if (left == screen_left_ && top == screen_top_) return;
  screen_left_ = left;
  screen_top_ = top;
  Changed(Prop::Bounds);
}

void Form::SetClientSize(int width, int height) { SetBounds(0, 0, width, height); }

void Form::SetFixedDialog(const std::string& caption, int client_width, int client_height) {
  SetCaption(caption);
  SetBorder(BorderStyle::Single);
  SetBorderIcons(0);
  SetPosition(FormPosition::ScreenCenter);
  SetClientSize(client_width, client_height);
}

void Form::CreateHandle() {
  if (!HandleCreated()) CreatePeers();
}

void Form::CreateWaitingHandles() {
  if (HandleCreated()) CreatePeers(true);
}

void Form::Show() {
  CreateHandle();
  if (Visible()) return;
  SetVisible(true);
  if (OnShow) App().Invoke(OnShow);
}

void Form::Hide() { SetVisible(false); }

ModalResult Form::ShowModal() { return App().ShowModal(*this); }

void Form::Close() {
  if (modal_) {
    SetModalResult(ModalResult::Cancel);
    return;
  }
  CloseAction action = CloseAction::Hide;
  if (OnClose) App().Invoke([&] { OnClose(action); });
  if (action == CloseAction::None) return;
  if (Application::Exists() && App().MainForm() == this)
    App().Terminate();
  else if (action == CloseAction::Minimize)
    ;  // left to the backend's window state; nothing in the model
  else
    Hide();
}

void Form::ShowNormal() {
  if (minimized_) {
    minimized_ = false;
    Changed(Prop::WindowState);
  }
  Show();
}

void Form::BringToFront() {
  if (Visible()) Changed(Prop::Foreground);
}

void Form::NoteMinimized(bool minimized) {
  if (minimized == minimized_) return;
  minimized_ = minimized;
  if (minimized && OnMinimize) App().Invoke(OnMinimize);
}

void Form::NoteActivated() {
  active_ = true;
  if (OnActivate) App().Invoke(OnActivate);
}

}  // namespace tk
