// A top-level window owning named controls; shown normally or modally.
#pragma once
#include <functional>
#include <string>
#include "toolkit/control.h"

namespace tk {

enum class BorderStyle { Single, Dialog, Sizeable, ToolWindow, None };
enum BorderIcon : unsigned { kSystemMenu = 1, kMinimize = 2, kMaximize = 4 };
enum class FormPosition { Designed, ScreenCenter };
enum class CloseAction { None, Hide, Free, Minimize };

class Form : public Control {
 public:
  // class_name names the window class (as a form's class name does).
  Form(std::string name, std::string class_name);
  ~Form() override;

  const std::string& ClassName() const { return class_name_; }

  // Window placement on the screen (outer frame) and client size.
  int ScreenLeft() const { return screen_left_; }
  int ScreenTop() const { return screen_top_; }
  void SetScreenPos(int left, int top);
  void SetScreenTop(int top) { SetScreenPos(screen_left_, top); }
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientSize(int width, int height);
  void SetClientHeight(int height) { SetClientSize(Width(), height); }

  BorderStyle Border() const { return border_; }
  void SetBorder(BorderStyle b) { border_ = b; }
  unsigned BorderIcons() const { return border_icons_; }
  void SetBorderIcons(unsigned icons) { border_icons_ = icons; }
  FormPosition Position() const { return position_; }
  void SetPosition(FormPosition p) { position_ = p; }
  // The frame of the program's dialogs: fixed single border, no title-bar
  // buttons, centred on the screen.
  void SetFixedDialog(const std::string& caption, int client_width, int client_height);

  // Creates the window and its controls' windows (no-op when they exist).
  void CreateHandle();
  // Also the windows that wait until they can be seen (see CreatePeers):
  // for tools that look at every control.
  void CreateWaitingHandles();
  bool HandleCreated() const { return Peer() != nullptr; }
  void Show();
  void Hide();
  // Runs a nested message loop until ModalResult is set; returns it.
  ModalResult ShowModal();
  bool Modal() const { return modal_; }
  ModalResult GetModalResult() const { return modal_result_; }
  // Ends a modal loop; wakes it, since the setter may run inside a message
  // that another process sent, which leaves the loop nothing to return for.
  void SetModalResult(ModalResult r);
  // Asks the form to close, as its close box does.
  void Close();
  bool Active() const { return active_; }
  // Minimised by the user (its minimise box, the task bar).
  bool Minimized() const { return minimized_; }
  // Shows the form in its normal state, restoring it when minimised.
  void ShowNormal();
  // Brings a visible form to the front of the screen and activates it.
  void BringToFront();

  std::function<void()> OnActivate;
  // The user minimised the form.
  std::function<void()> OnMinimize;
  std::function<void()> OnShow;
  std::function<void(CloseAction&)> OnClose;

 private:
  // What the window system and the modal loop tell the form.
  friend class BackendAccess;
  friend class Application;
  void NoteActivated();
  void NoteDeactivated() { active_ = false; }
  void NoteScreenPos(int left, int top) { screen_left_ = left; screen_top_ = top; }
  void NoteModal(bool m) { modal_ = m; }
  // Raises OnMinimize when the form becomes minimised.
  void NoteMinimized(bool minimized);

  std::string class_name_;
  int screen_left_ = 0, screen_top_ = 0;
  BorderStyle border_ = BorderStyle::Sizeable;
  unsigned border_icons_ = kSystemMenu | kMinimize | kMaximize;
  FormPosition position_ = FormPosition::Designed;
  bool modal_ = false;
  bool active_ = false;
  bool minimized_ = false;
  ModalResult modal_result_ = ModalResult::None;
};

}  // namespace tk
