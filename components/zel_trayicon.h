// TzelTrayIcon: one icon in the notification area of the task bar. Turns
// mouse actions on it into events, pops up a menu, shows balloons, and
// hides the program to the notification area when its window is minimised.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "components/zel_component.h"
#include "platform/platform.h"
#include "toolkit/backend.h"
#include "toolkit/control.h"
#include "toolkit/form.h"
#include "toolkit/message_window.h"

namespace components {

// A hidden window of its own with a timer: the base of the tray icon.
class TzelCustomTimer : public TzelComponent {
 public:
  explicit TzelCustomTimer(std::string window_class);

  bool Enabled() const { return timer_.Enabled(); }
  void SetEnabled(bool enabled) { timer_.SetEnabled(enabled); }
  unsigned Interval() const { return unsigned(timer_.Interval()); }
  void SetInterval(unsigned ms) { timer_.SetInterval(int(ms)); }
  void SetOnTimer(std::function<void()> handler);

  tk::MessageWindow& Window() { return window_; }

 protected:
  // A tick; runs OnTimer.
  virtual void Timer();
  // The hidden window's messages; false leaves a message to the system.
  virtual bool WndProc(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) { return false; }

 private:
  tk::MessageWindow window_;
  tk::Timer timer_{"TzelCustomTimer", 1000, true};
  std::function<void()> on_timer_;
};

// Icons by resource name, for a tray icon that steps through them.
class TzelImageList {
 public:
  explicit TzelImageList(std::vector<std::string> icons = {}) : icons_(std::move(icons)) {}
  ~TzelImageList();
  TzelImageList(const TzelImageList&) = delete;
  TzelImageList& operator=(const TzelImageList&) = delete;
  int Count() const { return int(icons_.size()); }
  std::string Icon(int index) const;
  void SetIcons(std::vector<std::string> icons);

  // Told of every change, and with changed == false when the list goes.
  int Link(std::function<void(bool changed)> link);
  void Unlink(int id);

 private:
  std::vector<std::string> icons_;
  std::vector<std::pair<int, std::function<void(bool)>>> links_;
  int next_link_ = 1;
};

enum class TzelTrayIconInfoType { tiiNone, tiiInfo, tiiWarning, tiiError };

class TzelTrayIcon : public TzelCustomTimer {
 public:
  // The message the shell sends for the icon's mouse and balloon events.
  static constexpr unsigned kCallbackMessage = 0x0400 + 211;  // WM_USER + 211

  // owner: the program's main form, which the icon hides and shows.
  TzelTrayIcon(platform::Platform platform, tk::Form& owner, std::string window_class);
  // Takes the icon out of the notification area.
  ~TzelTrayIcon() override;

  // ---- Properties
  bool CycleIcons() const { return TzelCustomTimer::Enabled(); }
  void SetCycleIcons(bool cycle) { TzelCustomTimer::SetEnabled(cycle); }
  unsigned CycleInterval() const { return Interval(); }
  void SetCycleInterval(unsigned ms) { SetInterval(ms); }
  // When false, mouse and balloon messages from the icon are ignored.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  const std::string& Hint() const { return hint_; }
  // At most 63 characters; a longer hint is cut when assigned.
  void SetHint(const std::string& hint);
  // The icon's resource name.
  const std::string& Icon() const { return icon_; }
  void SetIcon(const std::string& icon);
  TzelImageList* ImageList() const { return image_list_; }
  void SetImageList(TzelImageList* list);
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int index);
  int IconID() const { return icon_id_; }
  void SetIconID(int id);
  bool MinimizeToTray() const { return minimize_to_tray_; }
  void SetMinimizeToTray(bool on) { minimize_to_tray_ = on; }
  bool MinimizeOnStart() const { return minimize_on_start_; }
  void SetMinimizeOnStart(bool on) { minimize_on_start_ = on; }
  tk::PopupMenu* PopupMenu() const { return popup_; }
  void SetPopupMenu(tk::PopupMenu* menu) { popup_ = menu; }
  bool PopupByLeft() const { return popup_by_left_; }
  void SetPopupByLeft(bool on) { popup_by_left_ = on; }
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool show);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool VisibleOnDesigning() const { return visible_on_designing_; }
  void SetVisibleOnDesigning(bool visible) { visible_on_designing_ = visible; }
  // The balloon's text, title, time-out and icon; assigning them shows nothing.
  const std::string& InfoText() const { return info_text_; }
  void SetInfoText(const std::string& text) { info_text_ = text; }
  const std::string& InfoTitle() const { return info_title_; }
  void SetInfoTitle(const std::string& title) { info_title_ = title; }
  int InfoTimeout() const { return info_timeout_; }
  void SetInfoTimeout(int ms) { info_timeout_ = ms; }
  TzelTrayIconInfoType InfoType() const { return info_type_; }
  void SetInfoType(TzelTrayIconInfoType type) { info_type_ = type; }

  // ---- Events
  std::function<void()> OnMinimize;
  std::function<void(unsigned shift, int x, int y)> OnMouseMove;
  std::function<void(tk::MouseButton button, unsigned shift, int x, int y)> OnMouseDown;
  std::function<void(tk::MouseButton button, unsigned shift, int x, int y)> OnMouseUp;
  std::function<void()> OnClick;
  std::function<void()> OnDblClick;
  std::function<void()> OnPopupMenu;
  std::function<void()> OnShow;
  std::function<void()> OnHide;
  std::function<void()> OnCycleIcons;
  std::function<void()> OnBalloonShow;
  std::function<void()> OnBalloonTimeout;
  std::function<void()> OnBalloonClick;

  // ---- Operations
  // The record the shell is given, filled from the properties.
  virtual void FillIconData();
  virtual void ModifyIcon();
  virtual void AddIcon();
  virtual void DeleteIcon();
  virtual void PopupAtCursor();
  // The main window comes back (restored when minimised) with its task-bar
  // button; HideMainWindow takes both away, leaving the icon.
  virtual void ShowMainWindow();
  virtual void HideMainWindow();
  // A balloon at the icon with InfoTitle and InfoText; nothing where the
  // shell has no balloons.
  virtual void ShowBalloon();
  void ShowBalloonHint() { ShowBalloon(); }
  // Takes the icon out of the notification area as the program ends,
  // without bringing the window back as DeleteIcon does.
  void RemoveFromTray();

  const platform::NotifyIconData& IconData() const { return data_; }
  // Whether the system's shell shows balloons (decided once, at creation).
  bool BalloonsSupported() const { return balloons_; }

  // Acts as loading has finished: minimised at start if asked, and the
  // icon shown when Visible.
  void Loaded() override;

 protected:
  bool WndProc(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) override;  // TrayWndProc
  void Timer() override { DoCycleIcon(); }
  virtual void DoCycleIcon();
  virtual void DoMouseMove(unsigned shift, int x, int y);
  virtual void DoMouseDown(tk::MouseButton button, unsigned shift, int x, int y);
  virtual void DoMouseUp(tk::MouseButton button, unsigned shift, int x, int y);
  virtual void DoClick();
  virtual void DoDblClick();
  virtual void DoMinimize();

 private:
  void IconFromList();
  bool Send(platform::NotifyIconOp op);
  platform::Platform platform_;
  tk::Form& owner_;
  bool loading_ = true;
  bool balloons_;
  unsigned taskbar_created_;
  std::function<void()> owner_minimize_;  // the form's own handler, called after ours

  bool enabled_ = true;
  std::string hint_;
  std::string icon_;
  TzelImageList* image_list_ = nullptr;
  int image_link_ = 0;
  int image_index_ = 0;
  int icon_id_ = 0;
  bool minimize_to_tray_ = false;
  bool minimize_on_start_ = false;
  tk::PopupMenu* popup_ = nullptr;
  bool popup_by_left_ = false;
  bool show_hint_ = true;
  bool visible_ = false;
  bool visible_on_designing_ = false;
  std::string info_text_;
  std::string info_title_;
  int info_timeout_ = 10000;
  TzelTrayIconInfoType info_type_ = TzelTrayIconInfoType::tiiNone;

  platform::NotifyIconData data_;
  uint32_t flags_ = platform::kNifMessage | platform::kNifTip;
  bool click_pending_ = false;
};

// The first characters of text that fit max_units UTF-16 units, never
// splitting a character.
std::string CutToWideUnits(const std::string& text, size_t max_units);

}  // namespace components
