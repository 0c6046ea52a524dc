#include "components/zel_trayicon.h"

#include <algorithm>
#include "toolkit/application.h"
#include "toolkit/error.h"

namespace components {

namespace {

// The window messages the shell and the system send the icon's window.
constexpr unsigned kQueryEndSession = 0x0011;
constexpr unsigned kMouseMove = 0x0200, kLButtonDown = 0x0201, kLButtonUp = 0x0202, kLButtonDblClk = 0x0203,
                   kRButtonDown = 0x0204, kRButtonUp = 0x0205, kMButtonDown = 0x0207, kMButtonUp = 0x0208;
constexpr unsigned kBalloonShow = 0x0400 + 2, kBalloonTimeout = 0x0400 + 4, kBalloonUserClick = 0x0400 + 5;

// Field sizes of the record, in UTF-16 units without the terminating NUL.
constexpr size_t kHintLimit = 63, kTipLimitBalloons = 127, kTipLimitOld = 63, kInfoLimit = 255,
                 kInfoTitleLimit = 63;

void Fire(const std::function<void()>& event) {
  if (event) event();
}

}  // namespace

std::string CutToWideUnits(const std::string& text, size_t max_units) {
  size_t units = 0, i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    // A broken byte stands for one character, as the conversion makes it.
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + len > text.size()) len = 1;
    size_t need = len == 4 ? 2 : 1;
    if (units + need > max_units) break;
    units += need;
    i += len;
  }
  return text.substr(0, i);
}

// ---- TzelCustomTimer

TzelCustomTimer::TzelCustomTimer(std::string window_class) : window_(std::move(window_class)) {
  window_.OnMessage = [this](unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) {
    return WndProc(msg, wp, lp, result);
  };
  timer_.SetOnTimer([this] { Timer(); });
}

void TzelCustomTimer::SetOnTimer(std::function<void()> handler) { on_timer_ = std::move(handler); }

void TzelCustomTimer::Timer() { Fire(on_timer_); }

// ---- TzelImageList

TzelImageList::~TzelImageList() {
  auto links = links_;
  for (auto& [id, link] : links) link(false);
}

std::string TzelImageList::Icon(int index) const {
  return index >= 0 && index < Count() ? icons_[size_t(index)] : std::string();
}

void TzelImageList::SetIcons(std::vector<std::string> icons) {
  icons_ = std::move(icons);
  auto links = links_;
  for (auto& [id, link] : links) link(true);
}

int TzelImageList::Link(std::function<void(bool)> link) {
  links_.emplace_back(next_link_, std::move(link));
  return next_link_++;
}

void TzelImageList::Unlink(int id) {
  links_.erase(std::remove_if(links_.begin(), links_.end(), [id](const auto& l) { return l.first == id; }),
               links_.end());
}

// ---- TzelTrayIcon

TzelTrayIcon::TzelTrayIcon(platform::Platform platform, tk::Form& owner, std::string window_class)
    : TzelCustomTimer(std::move(window_class)),
      platform_(platform),
      owner_(owner),
      taskbar_created_(tk::App().GetBackend().RegisterMessage("TaskbarCreated")) {
  platform::OsVersion v = platform.system.Version();
  balloons_ = v.nt && v.major >= 5;
  SetCycleIcons(false);
  SetCycleInterval(200);
  // The timer runs only with a handler; cycling needs none of its own.
  SetOnTimer([] {});
  // Minimising the form is what hides the program to the icon.
  owner_minimize_ = owner_.OnMinimize;
  owner_.OnMinimize = [this] {
    if (minimize_to_tray_) DoMinimize();
    Fire(owner_minimize_);
  };
}

TzelTrayIcon::~TzelTrayIcon() {
  RemoveFromTray();
  if (image_list_) image_list_->Unlink(image_link_);
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
  std::string cut = CutToWideUnits(hint, kHintLimit);
  if (cut == hint_) return;
  hint_ = cut;
  ModifyIcon();
}

void TzelTrayIcon::SetIcon(const std::string& icon) {
  icon_ = icon;
  ModifyIcon();
}

void TzelTrayIcon::SetShowHint(bool show) {
  if (show == show_hint_) return;
  show_hint_ = show;
  ModifyIcon();
}

void TzelTrayIcon::SetImageList(TzelImageList* list) {
  if (image_list_) image_list_->Unlink(image_link_);
  image_list_ = list;
  image_link_ = 0;
  if (image_list_) {
    image_link_ = image_list_->Link([this](bool changed) {
      if (changed) {
        IconFromList();
      } else {
        image_list_ = nullptr;  // the list is going away
        image_link_ = 0;
      }
    });
  }
  IconFromList();
}

void TzelTrayIcon::SetImageIndex(int index) {
  image_index_ = index;
  IconFromList();
}

void TzelTrayIcon::IconFromList() {
  if (!image_list_) return;
  icon_ = image_list_->Icon(image_index_);
  ModifyIcon();
}

void TzelTrayIcon::SetIconID(int id) {
  if (id == icon_id_) return;
  bool was_visible = visible_;
  SetVisible(false);
  icon_id_ = id;
  SetVisible(was_visible);
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
  data_.balloon_layout = balloons_;
  data_.window = Window().Handle();
  data_.id = uint32_t(icon_id_);
  data_.flags = flags_;
  data_.callback_message = kCallbackMessage;
  data_.icon = icon_;
  if (show_hint_) data_.tip = CutToWideUnits(hint_, balloons_ ? kTipLimitBalloons : kTipLimitOld);
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
  Fire(OnShow);
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
  Fire(OnHide);
  // Without its icon the program must not be left without a window.
  if (minimize_to_tray_) ShowMainWindow();
  if (!owner_.Visible()) owner_.Show();
}

void TzelTrayIcon::ShowBalloon() {
  if (!balloons_) return;
  FillIconData();
  data_.info_flags = uint32_t(info_type_);
  data_.flags = platform::kNifInfo;
  data_.timeout_ms = uint32_t(info_timeout_);
  data_.info = CutToWideUnits(info_text_, kInfoLimit);
  data_.info_title = CutToWideUnits(info_title_, kInfoTitleLimit);
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
  popup_->Popup(at.x, at.y, &Window());
  Fire(OnPopupMenu);
}

void TzelTrayIcon::Loaded() {
  loading_ = false;
  if (minimize_on_start_) {
    tk::App().SetShowMainForm(false);
    DoMinimize();
  }
  if (visible_) AddIcon();
}

bool TzelTrayIcon::WndProc(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) {
  if (msg == kCallbackMessage) {
    result = 0;
    if (!enabled_) return true;
    tk::Point at = tk::App().GetBackend().CursorPos();
    unsigned shift = tk::App().GetBackend().ShiftState();
    switch (unsigned(lp)) {
      case kMouseMove: DoMouseMove(shift, at.x, at.y); break;
      case kLButtonDown:
        DoMouseDown(tk::MouseButton::Left, shift | tk::ssLeft, at.x, at.y);
        click_pending_ = true;
        break;
      case kLButtonUp:
        DoMouseUp(tk::MouseButton::Left, shift | tk::ssLeft, at.x, at.y);
        if (click_pending_) DoClick();
        if (popup_by_left_) PopupAtCursor();
        click_pending_ = false;
        break;
      case kLButtonDblClk: DoDblClick(); break;
      case kRButtonDown: DoMouseDown(tk::MouseButton::Right, shift | tk::ssRight, at.x, at.y); break;
      case kRButtonUp:
        DoMouseUp(tk::MouseButton::Right, shift | tk::ssRight, at.x, at.y);
        PopupAtCursor();
        break;
      case kMButtonDown: DoMouseDown(tk::MouseButton::Middle, shift | tk::ssMiddle, at.x, at.y); break;
      case kMButtonUp: DoMouseUp(tk::MouseButton::Middle, shift | tk::ssMiddle, at.x, at.y); break;
      case kBalloonShow: Fire(OnBalloonShow); break;
      case kBalloonTimeout: Fire(OnBalloonTimeout); break;
      case kBalloonUserClick: Fire(OnBalloonClick); break;
      default: return TzelCustomTimer::WndProc(msg, wp, lp, result);
    }
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
  return TzelCustomTimer::WndProc(msg, wp, lp, result);
}

void TzelTrayIcon::DoCycleIcon() {
  if (image_list_ && image_list_->Count() > 0) SetImageIndex((image_index_ + 1) % image_list_->Count());
  Fire(OnCycleIcons);
}

void TzelTrayIcon::DoMouseMove(unsigned shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(shift, x, y);
}

void TzelTrayIcon::DoMouseDown(tk::MouseButton button, unsigned shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(button, shift, x, y);
}

void TzelTrayIcon::DoMouseUp(tk::MouseButton button, unsigned shift, int x, int y) {
  owner_.BringToFront();
  if (OnMouseUp) OnMouseUp(button, shift, x, y);
}

void TzelTrayIcon::DoClick() { Fire(OnClick); }

void TzelTrayIcon::DoDblClick() {
  if (popup_ && !popup_by_left_) {
    if (tk::MenuItem* item = popup_->DefaultItem()) {
      popup_->Choose(item->name);
      Fire(OnDblClick);
      owner_.BringToFront();
      return;
    }
  }
  if (minimize_to_tray_ && owner_.Visible())
    HideMainWindow();
  else
    ShowMainWindow();
  Fire(OnDblClick);
}

void TzelTrayIcon::DoMinimize() {
  HideMainWindow();
  SetVisible(true);
  Fire(OnMinimize);
}

}  // namespace components
