#include "toolkit/control.h"

#include <algorithm>
#include "toolkit/application.h"
#include "toolkit/form.h"

namespace tk {

Control::Control(Control* parent, std::string name, ControlKind kind)
    : name_(std::move(name)), kind_(kind), parent_(parent) {
  if (parent_) {
    parent_->children_.push_back(this);
    if (parent_->Peer()) CreatePeers();
  }
}

Control::~Control() {
  // Children outliving their parent become orphans rather than dangle.
  for (Control* child : children_) {
    child->DetachPeers();
    child->parent_ = nullptr;
  }
  peer_.reset();
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

Form* Control::OwnerForm() {
  Control* c = this;
  while (c->parent_) c = c->parent_;
  return c->kind_ == ControlKind::Form ? static_cast<Form*>(c) : nullptr;
}

Control* Control::FindChild(const std::string& name) {
  for (Control* child : children_) {
    if (child->name_ == name) return child;
    if (Control* found = child->FindChild(name)) return found;
  }
  return nullptr;
}

void Control::CreatePeers(bool waiting_too) {
  if (!peer_ && Application::Exists()) peer_ = App().GetBackend().CreatePeer(*this);
  for (Control* child : children_)
    if (waiting_too || !child->WindowWaits()) child->CreatePeers(waiting_too);
}

bool Control::WindowWaits() const {
  if (!parent_) return false;
  if (kind_ == ControlKind::Page && !visible_) return true;
  int top = 0;
  const Control* c = this;
  for (; c->parent_; c = c->parent_) top += c->bounds_.top;
  return c->kind_ == ControlKind::Form && top >= c->Height();
}

void Control::CreatePeersInView() {
  if ((peer_ || (parent_ && parent_->peer_)) && !WindowWaits()) CreatePeers();
}

void Control::DetachPeers() {
  for (Control* child : children_) child->DetachPeers();
  peer_.reset();
}

void Control::Changed(Prop p) {
  if (peer_) peer_->Update(p);
}

void Control::SetBounds(int left, int top, int width, int height) {
  Rect r{left, top, left + width, top + height};
  if (r == bounds_) return;
  bounds_ = r;
  Changed(Prop::Bounds);
  CreatePeersInView();
}

void Control::SetCaption(const std::string& text) {
  if (text == caption_) return;
  caption_ = text;
  Changed(Prop::Caption);
}

void Control::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Changed(Prop::Visible);
  if (v) CreatePeersInView();
}

void Control::SetEnabled(bool e) {
  if (e == enabled_) return;
  enabled_ = e;
  Changed(Prop::Enabled);
}

void Control::SetColor(Color c) {
  if (c == color_) return;
  color_ = c;
  Changed(Prop::Color);
}

const Font& Control::EffectiveFont() const {
  static const Font kDefault;
  for (const Control* c = this; c; c = c->parent_)
    if (c->font_) return *c->font_;
  return kDefault;
}

void Control::SetFont(const Font& f) {
  font_ = std::make_unique<Font>(f);
  Changed(Prop::Font);
}

void Control::SetAlignment(Align a) {
  if (a == alignment_) return;
  alignment_ = a;
  Changed(Prop::Alignment);
}

bool Control::Showing() const {
  for (const Control* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void Control::DoClick() {
  if (OnClick) App().Invoke(OnClick);
}

void Control::DoMouseMove(int x, int y) {
  if (OnMouseMove) App().Invoke([&] { OnMouseMove(x, y); });
}

void Control::DoMouseUp(MouseButton b, int x, int y) {
  if (OnMouseUp) App().Invoke([&] { OnMouseUp(b, x, y); });
}

void CheckBox::SetChecked(bool c) {
  if (c == checked_) return;
  checked_ = c;
  Changed(Prop::Checked);
}

void CheckBox::UserClick() {
  UserToggle();
  DoMouseUp(MouseButton::Left, Width() / 2, Height() / 2);
}

void CheckBox::UserToggle() {
  SetChecked(!checked_);
  DoClick();
}

void Label::SetWordWrap(bool w) {
  if (w == word_wrap_) return;
  word_wrap_ = w;
  Changed(Prop::Alignment);
}

void ListBox::AddItem(const std::string& text) {
  items_.push_back(text);
  if (Peer()) Peer()->ItemAdded(int(items_.size()) - 1);
}

void ListBox::Clear() {
  items_.clear();
  item_index_ = -1;
  Changed(Prop::Items);
}

void ListBox::SetItemIndex(int index) {
  if (index < -1 || index >= Count()) index = -1;
  if (index == item_index_) return;
  item_index_ = index;
  Changed(Prop::ItemIndex);
}

std::string ListBox::SelectedText() const {
  return item_index_ >= 0 && item_index_ < Count() ? items_[size_t(item_index_)] : std::string();
}

void ListBox::UserSelect(int index) {
  SetItemIndex(index);
  DoClick();
}

void ProgressBar::SetMax(int v) {
  max_ = v;
  if (min_ > max_) min_ = max_;
  position_ = std::clamp(position_, min_, max_);
  Changed(Prop::Progress);
}

void ProgressBar::SetPosition(int v) {
  v = std::clamp(v, min_, max_);
  if (v == position_) return;
  position_ = v;
  Changed(Prop::Progress);
}

void Panel::Paint(Canvas& canvas) {
  Rect r{0, 0, Width(), Height()};
  Color fill = BackColor();
  for (Control* c = Parent(); fill == kDefaultColor && c; c = c->Parent()) fill = c->BackColor();
  canvas.FillRect(r, fill == kDefaultColor ? canvas.SystemColor(SysColor::ButtonFace) : fill);
  if (Caption().empty()) return;
  canvas.SetFont(EffectiveFont());
  unsigned align = Alignment() == Align::Left ? kDtLeft : Alignment() == Align::Right ? kDtRight : kDtCenter;
  canvas.DrawText(Caption(), r, align | kDtVCenter | kDtSingleLine | kDtNoPrefix);
}

Page::Page(PageBook* book, std::string name) : Panel(book, std::move(name), ControlKind::Page) {
  SetVisible(book->active_ == nullptr);
  if (!book->active_) book->active_ = this;
}

PageBook* Page::Book() const { return static_cast<PageBook*>(Parent()); }

void PageBook::ShowPage(Page& page) {
  if (active_ == &page) return;
  for (Page* p : Pages()) p->SetVisible(p == &page);
  active_ = &page;
  Changed(Prop::ActivePage);
}

std::vector<Page*> PageBook::Pages() const {
  std::vector<Page*> pages;
  for (Control* c : Children())
    if (c->Kind() == ControlKind::Page) pages.push_back(static_cast<Page*>(c));
  return pages;
}

Timer::Timer(std::string name, int interval_ms, bool enabled)
    : name_(std::move(name)), interval_(interval_ms), enabled_(enabled) {}

Timer::~Timer() {
  if (Application::Exists()) App().GetBackend().RemoveTimer(*this);
}

void Timer::Apply() {
  if (Application::Exists()) App().GetBackend().UpdateTimer(*this);
}

void Timer::SetEnabled(bool e) {
  if (e == enabled_) return;
  enabled_ = e;
  Apply();
}

void Timer::SetOnTimer(std::function<void()> handler) {
  on_timer_ = std::move(handler);
  Apply();
}

void Timer::DoTimer() {
  if (on_timer_) App().Invoke(on_timer_);
}

MenuItem& PopupMenu::Add(std::string name, std::string caption, std::function<void()> on_click) {
  MenuItem& item = items_.emplace_back();
  item.name = std::move(name);
  item.caption = std::move(caption);
  item.on_click = std::move(on_click);
  return item;
}

void PopupMenu::Popup(int x, int y, MessageWindow* owner) { App().GetBackend().Popup(*this, x, y, owner); }

void PopupMenu::Choose(const std::string& item_name) {
  for (MenuItem& item : items_)
    if (item.name == item_name) {
      if (item.on_click && item.enabled) App().Invoke(item.on_click);
      return;
    }
}

MenuItem* PopupMenu::DefaultItem() {
  for (MenuItem& item : items_)
    if (item.is_default) return &item;
  return nullptr;
}

}  // namespace tk
