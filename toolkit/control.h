// The form model: named controls whose state lives here; a backend peer
// mirrors it on screen (or nowhere, headless).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "toolkit/canvas.h"
#include "toolkit/types.h"

namespace tk {

class Form;
class Control;

enum class ControlKind { Form, Button, CheckBox, Label, ListBox, ProgressBar, Panel, PageBook, Page };

// What changed in a control, so that a peer re-applies just that.
enum class Prop { Bounds, Caption, Visible, Enabled, Color, Font, Alignment, Checked, Items, ItemIndex,
                  Progress, ActivePage, Repaint, WindowState, Foreground };

class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Update(Prop p) = 0;
  virtual void ItemAdded(int index) { Update(Prop::Items); }
};

class Control {
 public:
  Control(Control* parent, std::string name, ControlKind kind);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  Control* Parent() const { return parent_; }
  const std::vector<Control*>& Children() const { return children_; }
  Form* OwnerForm();
  // Depth-first search below this control; nullptr when there is none.
  Control* FindChild(const std::string& name);

  // Position relative to the parent's client area, and size.
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }
  const Rect& Bounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  // kDefaultColor: the parent's colour (or the system's for buttons and lists).
  Color BackColor() const { return color_; }
  void SetColor(Color c);
  // The control's own font, or its parent's when it has none of its own.
  const Font& EffectiveFont() const;
  void SetFont(const Font& f);
  Align Alignment() const { return alignment_; }
  void SetAlignment(Align a);
  // True when this control and every parent up to its form is visible.
  bool Showing() const;

  std::function<void()> OnClick;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(MouseButton b, int x, int y)> OnMouseUp;

  // The user acts on the control. Handlers run through the application's
  // error handler, so an exception never leaves them.
  void DoClick();
  void DoMouseMove(int x, int y);
  void DoMouseUp(MouseButton b, int x, int y);

 protected:
  ControlPeer* Peer() const { return peer_.get(); }
  void Changed(Prop p);
  // This control's and its children's windows, when the form has one. Only
  // what can be seen gets one at once: a page not shown, or a control below
  // the bottom of its form, waits until it can be, unless waiting_too.
  void CreatePeers(bool waiting_too = false);
  bool WindowWaits() const;
  // Once the control or its form has moved, grown or been shown.
  void CreatePeersInView();

 private:
  friend class BackendAccess;
  void AttachPeer(std::unique_ptr<ControlPeer> peer) { peer_ = std::move(peer); }
  void DetachPeers();  // this control's and its children's
  // The window system moved or sized the control's window.
  void NoteBounds(const Rect& r) { bounds_ = r; }

  std::string name_;
  ControlKind kind_;
  Control* parent_;
  std::vector<Control*> children_;
  std::unique_ptr<ControlPeer> peer_;
  Rect bounds_;
  std::string caption_;
  bool visible_ = true;
  bool enabled_ = true;
  Color color_ = kDefaultColor;
  std::unique_ptr<Font> font_;
  Align alignment_ = Align::Left;
};

class Button : public Control {
 public:
  Button(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::Button) {}
};

// The check box is the live setting: Checked() is read where it acts.
class CheckBox : public Control {
 public:
  CheckBox(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::CheckBox) {}
  bool Checked() const { return checked_; }
  // Setting it from code runs no handler.
  void SetChecked(bool c);
  // A user's mouse click: toggles, then OnClick and OnMouseUp.
  void UserClick();
  // Toggled without the mouse (the space bar): toggles, then OnClick only.
  void UserToggle();

 private:
  bool checked_ = false;
};

class Label : public Control {
 public:
  Label(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::Label) {}
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool w);

 private:
  bool word_wrap_ = false;
};

class ListBox : public Control {
 public:
  ListBox(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::ListBox) {}
  const std::vector<std::string>& Items() const { return items_; }
  int Count() const { return int(items_.size()); }
  void AddItem(const std::string& text);
  void Clear();
  // -1 when nothing is selected.
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int index);
  // The selected item's text, or "" when none is selected.
  std::string SelectedText() const;
  void UserSelect(int index);  // a user's click on an item

 private:
  friend class BackendAccess;
  // The window selected an item itself (the user clicked it).
  void NoteItemIndex(int index) { item_index_ = index; }
  std::vector<std::string> items_;
  int item_index_ = -1;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::ProgressBar) {}
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMax(int v);
  // Clamped to the range, as the native bar does.
  void SetPosition(int v);

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

// A coloured container that paints itself; components derive their own
// painting from it.
class Panel : public Control {
 public:
  Panel(Control* parent, std::string name, ControlKind kind = ControlKind::Panel)
      : Control(parent, std::move(name), kind) { SetAlignment(Align::Center); }
  // Default look: filled with its colour, caption centred both ways.
  virtual void Paint(Canvas& canvas);
  void Repaint() { Changed(Prop::Repaint); }
};

class PageBook;

class Page : public Panel {
 public:
  Page(PageBook* book, std::string name);
  PageBook* Book() const;
};

// A stack of pages of which one is shown; no tabs, the program navigates.
class PageBook : public Control {
 public:
  PageBook(Control* parent, std::string name) : Control(parent, std::move(name), ControlKind::PageBook) {}
  Page* ActivePage() const { return active_; }
  void ShowPage(Page& page);
  std::vector<Page*> Pages() const;

 private:
  friend class Page;
  Page* active_ = nullptr;
};

// Non-visual: a periodic tick while enabled.
class Timer {
 public:
  Timer(std::string name, int interval_ms, bool enabled = false);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  const std::string& Name() const { return name_; }
  int Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  // A timer ticks when it is enabled, has an interval and a handler.
  bool Armed() const { return enabled_ && interval_ > 0 && bool(on_timer_); }
  void SetOnTimer(std::function<void()> handler);

 private:
  friend class BackendAccess;
  void DoTimer();  // a tick
  void Apply();
  std::function<void()> on_timer_;
  std::string name_;
  int interval_;
  bool enabled_;
};

struct MenuItem {
  std::string name;
  std::string caption;  // "-" for a separator
  std::function<void()> on_click;
  bool is_default = false;  // shown in bold; what a double click on the menu's owner runs
  bool enabled = true;
  std::string picture;  // the name of a small bitmap shown beside the caption, or ""
};

class MessageWindow;

class PopupMenu {
 public:
  explicit PopupMenu(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  std::vector<MenuItem>& Items() { return items_; }
  MenuItem& Add(std::string name, std::string caption, std::function<void()> on_click);
  // Pops the menu up at a screen point; the chosen item's handler runs. An
  // owner takes the foreground while the menu is up, so that a click
  // elsewhere closes it.
  void Popup(int x, int y, MessageWindow* owner = nullptr);
  // Runs that item's handler, when it has one and is enabled.
  void Choose(const std::string& item_name);
  // The first item marked as the default, or nullptr.
  MenuItem* DefaultItem();

 private:
  std::string name_;
  std::vector<MenuItem> items_;
};

}  // namespace tk
