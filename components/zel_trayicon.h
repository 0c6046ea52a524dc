// TzelTrayIcon: one icon in the notification area of the task bar. Pops up
// a menu, shows balloons, and hides the program to the notification area
// when its window is minimised.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "components/zel_component.h"
#include "platform/platform.h"
#include "toolkit/control.h"
#include "toolkit/form.h"
#include "toolkit/message_window.h"

namespace components {

class TzelTrayIcon : public TzelComponent {
 public:
  // The message the shell sends for the icon's mouse events.
  static constexpr unsigned kCallbackMessage = 0x0400 + 211;  // WM_USER + 211

  // owner: the program's main form, which the icon hides and shows.
  TzelTrayIcon(platform::Platform platform, tk::Form& owner, std::string window_class);
  // Takes the icon out of the notification area.
  ~TzelTrayIcon() override;

  // At most 63 characters; a longer hint is cut when assigned.
  void SetHint(const std::string& hint);
  // The icon's resource name.
  void SetIcon(const std::string& icon);
  // Minimising the owner then hides it, leaving the icon.
  void SetMinimizeToTray(bool on) { minimize_to_tray_ = on; }
  // Popped up by the right button; a double click runs its default item.
  void SetPopupMenu(tk::PopupMenu* menu) { popup_ = menu; }
  void SetVisible(bool visible);
  // The balloon's text and title; assigning them shows nothing.
  void SetInfoText(const std::string& text) { info_text_ = text; }
  void SetInfoTitle(const std::string& title) { info_title_ = title; }

  // The main window comes back (restored when minimised) with its task-bar
  // button; HideMainWindow takes both away, leaving the icon.
  void ShowMainWindow();
  void HideMainWindow();
  // A balloon at the icon with the info title and text.
  void ShowBalloon();
  // Takes the icon out of the notification area as the program ends,
  // without bringing the window back as hiding the icon does.
  void RemoveFromTray();

  // Acts as loading has finished: the icon is shown when Visible.
  void Loaded() override;

 private:
  bool WndProc(unsigned msg, intptr_t lp, intptr_t& result);
  void FillIconData();
  bool Send(platform::NotifyIconOp op);
  void ModifyIcon();
  void AddIcon();
  void DeleteIcon();
  void PopupAtCursor();
  void DoDblClick();
  void DoMinimize();

  platform::Platform platform_;
  tk::Form& owner_;
  tk::MessageWindow window_;
  bool loading_ = true;
  unsigned taskbar_created_;
  std::function<void()> owner_minimize_;  // the form's own handler, called after ours

  std::string hint_;
  std::string icon_;
  bool minimize_to_tray_ = false;
  tk::PopupMenu* popup_ = nullptr;
  bool visible_ = false;
  std::string info_text_;
  std::string info_title_;

  platform::NotifyIconData data_;
  uint32_t flags_ = platform::kNifMessage | platform::kNifTip;
};

}  // namespace components
