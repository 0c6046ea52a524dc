#include "components/zel_trayicon.h"

#include "platform/utf.h"
#include "toolkit/application.h"
#include "toolkit/error.h"

namespace components {

namespace {

// The window messages the shell and the system send the icon's window.
constexpr unsigned kQueryEndSession = 0x0011;
constexpr unsigned kLButtonUp = 0x0202, kLButtonDblClk = 0x0203, kRButtonUp = 0x0205, kMButtonUp = 0x0208;

// Field sizes of the record, in UTF-16 units without the terminating NUL.
constexpr size_t kHintLimit = 63, kInfoLimit = 255, kInfoTitleLimit = 63;
constexpr uint32_t kBalloonTimeoutMs = 10000;

}  // namespace

TzelTrayIcon::TzelTrayIcon(platform::Platform platform, tk::Form& owner, std::string window_class)
    : platform_(platform),
      owner_(owner),
      window_(std::move(window_class)),
      taskbar_created_(tk::App().GetBackend().RegisterMessage("TaskbarCreated")) {
  window_.OnMessage = [this](unsigned msg, uintptr_t, intptr_t lp, intptr_t& result) {
    return WndProc(msg, lp, result);
  };
  // Minimising the form is what hides the program to the icon.
  owner_minimize_ = owner_.OnMinimize;
  owner_.OnMinimize = [this] {
    if (minimize_to_tray_) DoMinimize();
    if (owner_minimize_) owner_minimize_();
  };
}

TzelTrayIcon::~TzelTrayIcon() {
  RemoveFromTray();
  owner_.OnMinimize = owner_minimize_;
}

void TzelTrayIcon::RemoveFromTray() {
  if (!visible_ || loading_) return;
  flags_ &= ~platform::kNifIcon;
  FillIconData();
  Send(platform::NotifyIconOp::Delete);
  visible_ = false;
}

void TzelTrayIcon::SetHint(const std::string& hint) {
  std::string cut(platform::CutToUtf16Units(hint, kHintLimit));
  if (cut == hint_) return;
  hint_ = cut;
  ModifyIcon();
}

void TzelTrayIcon::SetIcon(const std::string& icon) {
  icon_ = icon;
  ModifyIcon();
}

void TzelTrayIcon::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (loading_) {
    visible_ = visible;  // shown when loading has finished
    return;
  }
  if (visible)
    AddIcon();
  else
    DeleteIcon();
}

void TzelTrayIcon::FillIconData() {
  data_ = platform::NotifyIconData{};
  data_.window = window_.Handle();
  data_.flags = flags_;
  data_.callback_message = kCallbackMessage;
  data_.icon = icon_;
  data_.tip = hint_;
}

bool TzelTrayIcon::Send(platform::NotifyIconOp op) { return platform_.shell.NotifyIcon(op, data_); }

void TzelTrayIcon::ModifyIcon() {
  if (loading_) return;
  FillIconData();
  Send(platform::NotifyIconOp::Modify);
}

void TzelTrayIcon::AddIcon() {
  try {
    flags_ |= platform::kNifIcon;
    FillIconData();
    // The shell's answer is not looked at: a refused icon comes back with
    // the next "TaskbarCreated".
    Send(platform::NotifyIconOp::Add);
  } catch (const std::exception&) {
    throw tk::Error(Name + ".InsertToTray failed");
  }
  visible_ = true;
}

void TzelTrayIcon::DeleteIcon() {
  try {
    flags_ &= ~platform::kNifIcon;
    FillIconData();
    Send(platform::NotifyIconOp::Delete);
  } catch (const std::exception&) {
    throw tk::Error(Name + ".DeleteFromTray failed");
  }
  visible_ = false;
  // Without its icon the program must not be left without a window.
  if (minimize_to_tray_) ShowMainWindow();
  if (!owner_.Visible()) owner_.Show();
}

void TzelTrayIcon::ShowBalloon() {
  FillIconData();
  data_.flags = platform::kNifInfo;
  data_.timeout_ms = kBalloonTimeoutMs;
  data_.info = platform::CutToUtf16Units(info_text_, kInfoLimit);
  data_.info_title = platform::CutToUtf16Units(info_title_, kInfoTitleLimit);
  Send(platform::NotifyIconOp::Modify);
}

void TzelTrayIcon::ShowMainWindow() { owner_.ShowNormal(); }

void TzelTrayIcon::HideMainWindow() {
  if (owner_.Visible()) owner_.Hide();
}

void TzelTrayIcon::PopupAtCursor() {
  if (!popup_) return;
  tk::Point at = tk::App().GetBackend().CursorPos();
  tk::App().ProcessMessages();
  // The menu's owner takes the foreground, so that a click elsewhere
  // closes the menu; the toolkit posts the empty message Windows asks for.
  popup_->Popup(at.x, at.y, &window_);
}

void TzelTrayIcon::Loaded() {
  loading_ = false;
  if (visible_) AddIcon();
}

bool TzelTrayIcon::WndProc(unsigned msg, intptr_t lp, intptr_t& result) {
  if (msg == kCallbackMessage) {
    switch (unsigned(lp)) {
      case kLButtonUp:
      case kMButtonUp: owner_.BringToFront(); break;
      case kRButtonUp:
        owner_.BringToFront();
        PopupAtCursor();
        break;
      case kLButtonDblClk: DoDblClick(); break;
      default: return false;
    }
    result = 0;
    return true;
  }
  if (msg == kQueryEndSession) {
    result = 1;  // logging off or shutting down may go ahead
    return true;
  }
  if (msg == taskbar_created_) {
    // The task bar was re-created without our icon. It comes back as it
    // was; the window stays as it is (hidden in the tray, say).
    if (visible_) {
      flags_ |= platform::kNifIcon;
      FillIconData();
      Send(platform::NotifyIconOp::Delete);
      Send(platform::NotifyIconOp::Add);
    }
    result = 0;
    return true;
  }
  return false;
}

void TzelTrayIcon::DoDblClick() {
  if (!popup_) return;
  if (tk::MenuItem* item = popup_->DefaultItem()) {
    popup_->Choose(item->name);
    owner_.BringToFront();
  }
}

void TzelTrayIcon::DoMinimize() {
  HideMainWindow();
  SetVisible(true);
}

}  // namespace components
