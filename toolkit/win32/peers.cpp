#include "toolkit/win32/peers.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <exception>
#include <unordered_map>
#include "platform/win32/wide.h"
#include "toolkit/backend_access.h"
#include "toolkit/win32/gdi_canvas.h"

namespace tk::win32 {

using platform::win32::Wide;

namespace {

int XOf(LPARAM lp) { return int(short(LOWORD(lp))); }
int YOf(LPARAM lp) { return int(short(HIWORD(lp))); }

// Child ids start above IDOK..IDCONTINUE, so that a dialog key's WM_COMMAND
// is never taken for a control's.
int g_next_child_id = 1000;

// This thread's windows that are ours, with their peers: found on every
// message without a round trip to the window system, and nothing another
// program sets on a window (a property, say) makes it one of them.
thread_local std::unordered_map<HWND, WindowPeer*> t_peers;

// An exception must not unwind through the system's code that called a
// window procedure; it is shown as any handler's would be.
template <typename F>
LRESULT Guarded(F&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    if (Application::Exists()) App().ShowException(e);
  } catch (...) {
    if (Application::Exists()) App().ShowException(std::runtime_error("Unknown error."));
  }
  return 0;
}

// A handler may free its own control; then nothing more is done with it.
bool StillThere(HWND hwnd, const Control* control) {
  return IsWindow(hwnd) && ControlOf(hwnd) == control;
}

void ApplyFontTree(Win32Backend& backend, Control& control) {
  if (HWND hwnd = HandleOf(control))
    SendMessageW(hwnd, WM_SETFONT, WPARAM(backend.Gdi().FontFor(control.EffectiveFont())), TRUE);
  for (Control* child : control.Children()) ApplyFontTree(backend, *child);
}

// What WM_COMMAND and WM_CTLCOLOR* of child controls do in any container.
bool ChildNotification(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      // lParam is zero for menu and dialog-key commands, which are no control's.
      if (WindowPeer* child = lp ? PeerOf(HWND(lp)) : nullptr) {
        child->Command(HIWORD(wp));
        result = 0;
        return true;
      }
      return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (WindowPeer* child = PeerOf(HWND(lp)))
        if (HBRUSH brush = child->Colors(msg, HDC(wp))) {
          result = LRESULT(brush);
          return true;
        }
      return false;
    default:
      return false;
  }
}

// The class procedure of a subclassed system control: what it would have
// done without us. Nothing when the window went away meanwhile.
LRESULT ClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!IsWindow(hwnd)) return 0;
  return CallWindowProcW(WNDPROC(GetClassLongPtrW(hwnd, GCLP_WNDPROC)), hwnd, msg, wp, lp);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // After Forget (while being destroyed) the window is no peer's any more.
  WindowPeer* peer = PeerOf(hwnd);
  if (!peer) return ClassProc(hwnd, msg, wp, lp);
  return Guarded([&] { return peer->OwnMessage(msg, wp, lp); });
}

// Mouse handling of the windows the toolkit paints or subclasses: a click
// is a button release over the control after a press on it.
class MouseTracker {
 public:
  bool Handle(HWND hwnd, Control& control, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_MOUSEMOVE:
        control.DoMouseMove(XOf(lp), YOf(lp));
        return true;
      case WM_LBUTTONDOWN:
        pressed_ = true;
        SetCapture(hwnd);
        return true;
      case WM_LBUTTONUP: {
        bool was_pressed = pressed_;
        pressed_ = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        RECT rc;
        GetClientRect(hwnd, &rc);
        POINT pt{XOf(lp), YOf(lp)};
        if (was_pressed && PtInRect(&rc, pt)) {
          control.DoClick();
          if (!StillThere(hwnd, &control)) return true;
        }
        control.DoMouseUp(MouseButton::Left, pt.x, pt.y);
        return true;
      }
      case WM_RBUTTONUP:
        control.DoMouseUp(MouseButton::Right, XOf(lp), YOf(lp));
        return true;
      case WM_MBUTTONUP:
        control.DoMouseUp(MouseButton::Middle, XOf(lp), YOf(lp));
        return true;
      case WM_CAPTURECHANGED:
        pressed_ = false;
        return false;
      default:
        return false;
    }
  }

 private:
  bool pressed_ = false;
};

// --- Form ------------------------------------------------------------------

class FormPeer : public WindowPeer {
 public:
  FormPeer(Win32Backend& backend, Form& form) : WindowPeer(backend, form), form_(form) {
    Styles(style_, ex_style_);
    RECT r = FrameFor(form.ClientWidth(), form.ClientHeight());
    // The sizes the system tries while creating are not the form's.
    applying_bounds_ = true;
    HWND created = CreateWindowExW(ex_style_, backend.FormClass(form), Wide(form.Caption()).c_str(),
                                   style_ | (form.Enabled() ? 0 : WS_DISABLED), form.ScreenLeft(),
                                   form.ScreenTop(), r.right - r.left, r.bottom - r.top, backend.AppWindow(),
                                   nullptr, backend.Instance(), static_cast<WindowPeer*>(this));
    applying_bounds_ = false;
    if (!created) return;
    Adopt(created);
    ApplyBounds();
  }

  void Update(Prop p) override {
    if (!hwnd_) return;
    switch (p) {
      case Prop::Bounds: ApplyBounds(); break;
      case Prop::Visible: ApplyVisible(); break;
      case Prop::WindowState:
        if (IsWindowVisible(hwnd_) && IsIconic(hwnd_) && !form_.Minimized()) ShowWindow(hwnd_, SW_RESTORE);
        break;
      case Prop::Foreground: SetForegroundWindow(hwnd_); break;
      default: WindowPeer::Update(p); break;
    }
  }

  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (ChildNotification(msg, wp, lp, result)) return result;
    switch (msg) {
      case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd_, &rc);
        ::FillRect(HDC(wp), &rc, backend_.Gdi().BrushFor(BackgroundOf(form_)));
        return 1;
      }
      case WM_GETMINMAXINFO: {
        // The program sets client sizes down to nothing (it animates the
        // height); the system's minimum would make them inexact.
        RECT r = FrameFor(0, 0);
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize = POINT{r.right - r.left, r.bottom - r.top};
        return 0;
      }
      case WM_MOVE:
        // A minimised or maximised window's place is not where the form
        // is (and must not end up saved as such).
        if (!IsIconic(hwnd_) && !IsZoomed(hwnd_)) {
          RECT r;
          GetWindowRect(hwnd_, &r);
          BackendAccess::NoteScreenPos(form_, r.left, r.top);
        }
        return 0;
      case WM_SIZE:
        if (!applying_bounds_ && wp != SIZE_MINIMIZED)
          BackendAccess::NoteBounds(form_, Rect{0, 0, int(LOWORD(lp)), int(HIWORD(lp))});
        // A form hidden while minimised stays so; only a shown one reports.
        if (IsWindowVisible(hwnd_)) BackendAccess::NoteMinimized(form_, wp == SIZE_MINIMIZED);
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(hwnd_, focus)) focus_ = focus;
          BackendAccess::NoteDeactivated(form_);
          return 0;
        }
        if (!HIWORD(wp)) RestoreFocus();
        // While Show is still applying, OnShow has not run yet; the form's
        // OnActivate comes after it, as the user sees it. A form the model
        // already counts as active (a modal one is activated as it is shown,
        // whatever Windows does) is not activated twice.
        if (showing_)
          PostMessageW(hwnd_, kMsgActivated, 0, 0);
        else if (!form_.Active())
          BackendAccess::NoteActivated(form_);
        return 0;
      case kMsgActivated:
        if (GetActiveWindow() == hwnd_ && !form_.Active()) BackendAccess::NoteActivated(form_);
        return 0;
      case WM_SETFOCUS:
        RestoreFocus();
        return 0;
      case WM_CLOSE:
        // The model decides: hide, refuse, end the program, or end a modal loop.
        form_.Close();
        return 0;
      case WM_ENDSESSION:
        // Windows tells every top-level window; the first to hear ends the program.
        if (wp && Application::Exists()) BackendAccess::EndSession();
        return 0;
      case WM_MOUSEMOVE:
        form_.DoMouseMove(XOf(lp), YOf(lp));
        return 0;
      default:
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }
  }

 private:
  void Styles(DWORD& style, DWORD& ex) const {
    style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    ex = WS_EX_CONTROLPARENT;
    unsigned icons = form_.BorderIcons();
    switch (form_.Border()) {
      case BorderStyle::Single: style |= WS_CAPTION | WS_BORDER; break;
      case BorderStyle::Sizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
      case BorderStyle::Dialog:
        style |= WS_CAPTION | WS_DLGFRAME;
        ex |= WS_EX_DLGMODALFRAME;
        icons &= kSystemMenu;
        break;
      case BorderStyle::ToolWindow:
        style |= WS_CAPTION;
        ex |= WS_EX_TOOLWINDOW;
        icons &= kSystemMenu;
        break;
      case BorderStyle::None:
        style |= WS_POPUP;
        icons = 0;
        break;
    }
    if (icons & kSystemMenu) style |= WS_SYSMENU;
    if (icons & kMinimize) style |= WS_MINIMIZEBOX;
    if (icons & kMaximize) style |= WS_MAXIMIZEBOX;
  }

  RECT FrameFor(int client_width, int client_height) const {
    RECT r{0, 0, client_width, client_height};
    AdjustWindowRectEx(&r, style_, FALSE, ex_style_);
    return r;
  }

  void ApplyBounds() {
    RECT frame = FrameFor(form_.ClientWidth(), form_.ClientHeight());
    int w = frame.right - frame.left, h = frame.bottom - frame.top;
    int x = form_.ScreenLeft(), y = form_.ScreenTop();
    applying_bounds_ = true;
    if (IsIconic(hwnd_) || IsZoomed(hwnd_)) {
      // Takes effect when the window is restored.
      WINDOWPLACEMENT wp{};
      wp.length = sizeof wp;
      GetWindowPlacement(hwnd_, &wp);
      wp.rcNormalPosition = RECT{x, y, x + w, y + h};
      if (!IsWindowVisible(hwnd_)) wp.showCmd = SW_HIDE;
      SetWindowPlacement(hwnd_, &wp);
    } else {
      SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
      // The frame may differ from what AdjustWindowRectEx said (a caption
      // of another height, a wrapped menu); the client size is what counts.
      RECT client;
      GetClientRect(hwnd_, &client);
      int dw = form_.ClientWidth() - client.right, dh = form_.ClientHeight() - client.bottom;
      if (dw || dh)
        SetWindowPos(hwnd_, nullptr, 0, 0, w + dw, h + dh, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    applying_bounds_ = false;
  }

  void ApplyVisible() {
    if (!form_.Visible()) {
      ShowWindow(hwnd_, SW_HIDE);
      return;
    }
    if (!form_.Modal()) {
      // The main form has the task-bar button; the others belong to the
      // application window and have none. Both take effect while hidden.
      bool main = Application::Exists() && App().MainForm() == &form_;
      HWND owner = main ? nullptr : backend_.AppWindow();
      if (!IsWindowVisible(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, LONG_PTR(owner));
        LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
        LONG_PTR want = main ? (ex | WS_EX_APPWINDOW) : (ex & ~LONG_PTR(WS_EX_APPWINDOW));
        if (want != ex) SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, want);
      }
    }
    if (!shown_once_ && form_.Position() == FormPosition::ScreenCenter) {
      RECT area, r;
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
      GetWindowRect(hwnd_, &r);
      int x = area.left + ((area.right - area.left) - (r.right - r.left)) / 2;
      int y = area.top + ((area.bottom - area.top) - (r.bottom - r.top)) / 2;
      form_.SetScreenPos(x < area.left ? area.left : x, y < area.top ? area.top : y);
    }
    shown_once_ = true;
    showing_ = true;
    // A form shown normal again after it was hidden while minimised.
    ShowWindow(hwnd_, IsIconic(hwnd_) && !form_.Minimized() ? SW_RESTORE : SW_SHOW);
    showing_ = false;
  }

  void RestoreFocus() {
    if (focus_ && IsWindow(focus_) && IsChild(hwnd_, focus_) && IsWindowVisible(focus_) &&
        IsWindowEnabled(focus_)) {
      SetFocus(focus_);
      return;
    }
    HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    SetFocus(first ? first : hwnd_);
  }

  Form& form_;
  DWORD style_ = 0, ex_style_ = 0;
  HWND focus_ = nullptr;
  bool applying_bounds_ = false;
  bool shown_once_ = false;
  bool showing_ = false;
};

// --- Standard controls -----------------------------------------------------

class ButtonPeer : public WindowPeer {
 public:
  ButtonPeer(Win32Backend& backend, Control& control) : WindowPeer(backend, control) {
    if (CreateChild(L"Button", BS_PUSHBUTTON | WS_TABSTOP)) Subclass();
  }
  void Command(WORD code) override {
    if (code != BN_CLICKED || !Usable()) return;
    HWND hwnd = hwnd_;
    Control& control = control_;
    control.DoClick();
    if (StillThere(hwnd, &control))
      control.DoMouseUp(MouseButton::Left, control.Width() / 2, control.Height() / 2);
  }
};

class CheckBoxPeer : public WindowPeer {
 public:
  CheckBoxPeer(Win32Backend& backend, CheckBox& box) : WindowPeer(backend, box), box_(box) {
    // Not an automatic check box: the model toggles, the window follows.
    if (!CreateChild(L"Button", BS_CHECKBOX | WS_TABSTOP)) return;
    // A themed check box draws its caption in the theme's colour, not the
    // window's: the program's colours win.
    SetWindowTheme(hwnd_, L"", L"");
    Subclass();
    Update(Prop::Checked);
  }
  void Update(Prop p) override {
    if (hwnd_ && p == Prop::Checked)
      SendMessageW(hwnd_, BM_SETCHECK, box_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    else
      WindowPeer::Update(p);
  }
  // BN_CLICKED comes for the mouse and for the space bar alike: it toggles.
  void Command(WORD code) override {
    if (code != BN_CLICKED || !Usable()) return;
    if (releasing_) toggled_ = true;
    box_.UserToggle();
  }
  // OnMouseUp only for a left button released over the box, that is when the
  // release itself toggled it; never for the space bar.
  LRESULT OwnMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg != WM_LBUTTONUP) return WindowPeer::OwnMessage(msg, wp, lp);
    HWND hwnd = hwnd_;
    CheckBox& box = box_;
    releasing_ = true;
    toggled_ = false;
    LRESULT result = ClassProc(hwnd, msg, wp, lp);  // sends BN_CLICKED when released over the box
    if (!StillThere(hwnd, &box)) return result;
    releasing_ = false;
    if (toggled_) box.DoMouseUp(MouseButton::Left, XOf(lp), YOf(lp));
    return result;
  }

 private:
  CheckBox& box_;
  bool releasing_ = false;
  bool toggled_ = false;
};

WNDPROC g_static_proc = nullptr;

class LabelPeer : public WindowPeer {
 public:
  LabelPeer(Win32Backend& backend, Label& label) : WindowPeer(backend, label), label_(label) {
    if (!CreateChild(L"Static", Style())) return;
    // Subclassed for the mouse. Every label takes the mouse for itself, as a
    // control of the model does: one without handlers must not hand a move
    // to what it lies on, whose handler would then run (a panel's hover help).
    WNDPROC old = WNDPROC(SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, LONG_PTR(&LabelProc)));
    if (!g_static_proc) g_static_proc = old;
  }
  void Update(Prop p) override {
    if (hwnd_ && p == Prop::Alignment) {
      LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~LONG_PTR(SS_TYPEMASK);
      SetWindowLongPtrW(hwnd_, GWL_STYLE, style | Style());
      Redraw();
    } else {
      WindowPeer::Update(p);
    }
  }

 private:
  DWORD Style() const {
    switch (label_.Alignment()) {
      case Align::Center: return SS_CENTER | SS_NOPREFIX;
      case Align::Right: return SS_RIGHT | SS_NOPREFIX;
      case Align::Left: break;
    }
    return (label_.WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP) | SS_NOPREFIX;
  }

  static LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* peer = static_cast<LabelPeer*>(PeerOf(hwnd));
    if (peer) {
      Control& c = peer->control_;
      // A static control answers HTTRANSPARENT, which passes the mouse on.
      if (msg == WM_NCHITTEST) return HTCLIENT;
      bool handled = false;
      LRESULT r = Guarded([&]() -> LRESULT {
        handled = peer->mouse_.Handle(hwnd, c, msg, wp, lp);
        return 0;
      });
      if (handled) return r;
    }
    return CallWindowProcW(g_static_proc, hwnd, msg, wp, lp);
  }

  Label& label_;
  MouseTracker mouse_;
};

class ListBoxPeer : public WindowPeer {
 public:
  ListBoxPeer(Win32Backend& backend, ListBox& list) : WindowPeer(backend, list), list_(list) {
    if (!CreateChild(L"ListBox", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT | WS_TABSTOP)) return;
    Subclass();
    Update(Prop::Items);
  }
  void Update(Prop p) override {
    if (!hwnd_) return;
    switch (p) {
      case Prop::Items: {
        SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
        SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
        for (const std::string& item : list_.Items()) SendMessageW(hwnd_, LB_ADDSTRING, 0, LPARAM(Wide(item).c_str()));
        SendMessageW(hwnd_, LB_SETCURSEL, WPARAM(list_.ItemIndex()), 0);
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
      }
      case Prop::ItemIndex: SendMessageW(hwnd_, LB_SETCURSEL, WPARAM(list_.ItemIndex()), 0); break;
      default: WindowPeer::Update(p); break;
    }
  }
  void ItemAdded(int index) override {
    if (!hwnd_) return;
    if (SendMessageW(hwnd_, LB_GETCOUNT, 0, 0) == index)
      SendMessageW(hwnd_, LB_ADDSTRING, 0, LPARAM(Wide(list_.Items()[size_t(index)]).c_str()));
    else
      Update(Prop::Items);
  }
  void Command(WORD code) override {
    if (code != LBN_SELCHANGE || !Usable()) return;
    LRESULT sel = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    BackendAccess::NoteItemIndex(list_, sel == LB_ERR ? -1 : int(sel));
    list_.DoClick();
  }
  HBRUSH Colors(UINT msg, HDC dc) override {
    // A list is the system's window colour unless told otherwise.
    Color back = list_.BackColor(), fore = list_.EffectiveFont().color;
    if (back == kDefaultColor && fore == kDefaultColor) return nullptr;
    COLORREF bg = ResolveColor(back, COLOR_WINDOW);
    SetBkColor(dc, bg);
    SetTextColor(dc, ResolveColor(fore, COLOR_WINDOWTEXT));
    return backend_.Gdi().BrushFor(bg);
  }

 private:
  ListBox& list_;
};

class ProgressPeer : public WindowPeer {
 public:
  ProgressPeer(Win32Backend& backend, ProgressBar& bar) : WindowPeer(backend, bar), bar_(bar) {
    if (!CreateChild(PROGRESS_CLASSW, 0)) return;
    Subclass();
    Update(Prop::Progress);
  }
  void Update(Prop p) override {
    if (hwnd_ && p == Prop::Progress) {
      SendMessageW(hwnd_, PBM_SETRANGE32, WPARAM(bar_.Min()), LPARAM(bar_.Max()));
      SendMessageW(hwnd_, PBM_SETPOS, WPARAM(bar_.Position()), 0);
    } else {
      WindowPeer::Update(p);
    }
  }

 private:
  ProgressBar& bar_;
};

// --- Containers ------------------------------------------------------------

class ContainerPeer : public WindowPeer {
 public:
  using WindowPeer::WindowPeer;
  virtual LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    if (ChildNotification(msg, wp, lp, result)) return result;
    return DefWindowProcW(hwnd_, msg, wp, lp);
  }
};

class PanelPeer : public ContainerPeer {
 public:
  PanelPeer(Win32Backend& backend, Panel& panel) : ContainerPeer(backend, panel), panel_(panel) {
    CreateChild(kPanelClassW, 0, WS_EX_CONTROLPARENT);
  }
  void Update(Prop p) override {
    // Whatever changes may have cured a failing Paint.
    paint_failed_ = false;
    if (hwnd_ && (p == Prop::Caption || p == Prop::Alignment)) InvalidateRect(hwnd_, nullptr, FALSE);
    WindowPeer::Update(p);
  }
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_ERASEBKGND: return 1;  // Paint covers everything
      case WM_PAINT: Paint(); return 0;
      default:
        if (mouse_.Handle(hwnd_, panel_, msg, wp, lp)) return 0;
        return ContainerPeer::Message(msg, wp, lp);
    }
  }

 private:
  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT rc;
    GetClientRect(hwnd_, &rc);
    std::exception_ptr failure;
    if (rc.right > 0 && rc.bottom > 0) {
      // Drawn off screen first: a panel repainted while animating must not flicker.
      const platform::win32::DcHandle owned_mem(CreateCompatibleDC(dc));
      const platform::win32::BitmapHandle bitmap(CreateCompatibleBitmap(dc, rc.right, rc.bottom));
      const HDC mem = owned_mem.get();
      HGDIOBJ old = SelectObject(mem, bitmap.get());
      {
        GdiCanvas canvas(mem, backend_.Gdi());
        if (!paint_failed_) {
          try {
            panel_.Paint(canvas);
          } catch (...) {
            failure = std::current_exception();
          }
        }
        if (paint_failed_ || failure) ::FillRect(mem, &rc, backend_.Gdi().BrushFor(BackgroundOf(panel_)));
      }
      BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
    }
    EndPaint(hwnd_, &ps);
    if (failure) {
      // One error box, not one for every repaint (the box itself uncovers
      // the panel): the panel stays plain until something changes in it.
      paint_failed_ = true;
      App().Invoke([&] { std::rethrow_exception(failure); });
    }
  }

  Panel& panel_;
  MouseTracker mouse_;
  bool paint_failed_ = false;
};

class PageBookPeer : public ContainerPeer {
 public:
  PageBookPeer(Win32Backend& backend, PageBook& book) : ContainerPeer(backend, book), book_(book) {
    CreateChild(kPageBookClassW, 0, WS_EX_CONTROLPARENT);
  }
  void Update(Prop p) override {
    if (hwnd_ && p == Prop::ActivePage) {
      for (Page* page : book_.Pages())
        if (HWND h = HandleOf(*page)) ShowWindow(h, page->Visible() ? SW_SHOWNA : SW_HIDE);
    } else {
      WindowPeer::Update(p);
    }
  }
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_ERASEBKGND) {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      ::FillRect(HDC(wp), &rc, backend_.Gdi().BrushFor(BackgroundOf(book_)));
      return 1;
    }
    return ContainerPeer::Message(msg, wp, lp);
  }

 private:
  PageBook& book_;
};

// The peer is still being made: it is tied to the window now for the
// messages that come before CreateWindowEx returns.
void BindEarly(HWND hwnd, LPARAM create_struct) {
  auto* peer = static_cast<WindowPeer*>(reinterpret_cast<CREATESTRUCTW*>(create_struct)->lpCreateParams);
  t_peers[hwnd] = peer;
  peer->Bind(hwnd);
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) BindEarly(hwnd, lp);
  WindowPeer* base = PeerOf(hwnd);
  if (!base) return DefWindowProcW(hwnd, msg, wp, lp);
  auto* peer = static_cast<ContainerPeer*>(base);
  if (msg == WM_NCDESTROY) {
    peer->Forget();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return Guarded([&] { return peer->Message(msg, wp, lp); });
}

}  // namespace

// --- WindowPeer --------------------------------------------------------------

WindowPeer::~WindowPeer() {
  HWND hwnd = hwnd_;
  Forget();
  if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
}

void WindowPeer::Forget() {
  if (hwnd_) {
    // Nothing may reach this peer from here on, not even the messages
    // that DestroyWindow sends.
    t_peers.erase(hwnd_);
    RemovePropW(hwnd_, kControlNamePropW);
    hwnd_ = nullptr;
  }
  if (name_atom_) {
    GlobalDeleteAtom(name_atom_);
    name_atom_ = 0;
  }
}

bool WindowPeer::CreateChild(const wchar_t* window_class, DWORD style, DWORD ex_style) {
  Control* parent = control_.Parent();
  HWND parent_hwnd = parent ? HandleOf(*parent) : nullptr;
  if (!parent_hwnd) return false;
  const Control& c = control_;
  style |= WS_CHILD | WS_CLIPSIBLINGS | (c.Visible() ? WS_VISIBLE : 0) | (c.Enabled() ? 0 : WS_DISABLED);
  if (ex_style & WS_EX_CONTROLPARENT) style |= WS_CLIPCHILDREN;
  HWND hwnd = CreateWindowExW(ex_style, window_class, Wide(c.Caption()).c_str(), style, c.Left(), c.Top(),
                              c.Width(), c.Height(), parent_hwnd, HMENU(INT_PTR(g_next_child_id++)),
                              backend_.Instance(), static_cast<WindowPeer*>(this));
  if (!hwnd) return false;
  Adopt(hwnd);
  return true;
}

void WindowPeer::Adopt(HWND hwnd) {
  hwnd_ = hwnd;
  t_peers[hwnd] = this;
  if (!name_atom_ && !control_.Name().empty()) {
    // Other programs find controls by name through this atom.
    name_atom_ = GlobalAddAtomW(Wide(control_.Name()).c_str());
    if (name_atom_) SetPropW(hwnd, kControlNamePropW, HANDLE(UINT_PTR(name_atom_)));
  }
  SendMessageW(hwnd, WM_SETFONT, WPARAM(backend_.Gdi().FontFor(control_.EffectiveFont())), FALSE);
}

void WindowPeer::Subclass() {
  if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, LONG_PTR(&SubclassProc));
}

LRESULT WindowPeer::OwnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = hwnd_;
  if (msg == WM_MOUSEMOVE) control_.DoMouseMove(XOf(lp), YOf(lp));  // may free this peer
  return ClassProc(hwnd, msg, wp, lp);
}

void WindowPeer::Redraw() {
  if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void WindowPeer::Update(Prop p) {
  if (!hwnd_) return;
  const Control& c = control_;
  switch (p) {
    case Prop::Bounds:
      SetWindowPos(hwnd_, nullptr, c.Left(), c.Top(), c.Width(), c.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    case Prop::Caption: SetWindowTextW(hwnd_, Wide(c.Caption()).c_str()); break;
    case Prop::Visible: ShowWindow(hwnd_, c.Visible() ? SW_SHOWNA : SW_HIDE); break;
    case Prop::Enabled: EnableWindow(hwnd_, c.Enabled()); break;
    case Prop::Color: Redraw(); break;  // children may show this colour too
    case Prop::Font:
      ApplyFontTree(backend_, control_);
      Redraw();
      break;
    case Prop::Repaint: InvalidateRect(hwnd_, nullptr, FALSE); break;
    default: break;
  }
}

HBRUSH WindowPeer::Colors(UINT msg, HDC dc) {
  COLORREF bg = BackgroundOf(control_);
  SetBkColor(dc, bg);
  SetTextColor(dc, ResolveColor(control_.EffectiveFont().color, COLOR_BTNTEXT));
  return backend_.Gdi().BrushFor(bg);
}

// --- Free functions ------------------------------------------------------------

COLORREF BackgroundOf(const Control& control) {
  for (const Control* c = &control; c; c = c->Parent())
    if (c->BackColor() != kDefaultColor) return ToColorRef(c->BackColor());
  return GetSysColor(COLOR_BTNFACE);
}

WindowPeer* PeerOf(HWND hwnd) {
  auto it = t_peers.find(hwnd);
  return it == t_peers.end() ? nullptr : it->second;
}

Control* ControlOf(HWND hwnd) {
  WindowPeer* peer = PeerOf(hwnd);
  return peer ? &peer->Model() : nullptr;
}

HWND HandleOf(const Control& control) {
  auto* peer = dynamic_cast<WindowPeer*>(BackendAccess::Peer(control));
  return peer ? peer->Handle() : nullptr;
}

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) BindEarly(hwnd, lp);
  WindowPeer* base = PeerOf(hwnd);
  if (!base) return DefWindowProcW(hwnd, msg, wp, lp);
  auto* peer = static_cast<FormPeer*>(base);
  if (msg == WM_NCDESTROY) {
    peer->Forget();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return Guarded([&] { return peer->Message(msg, wp, lp); });
}

void RegisterContainerClasses(HINSTANCE instance) {
  for (const wchar_t* name : {kPanelClassW, kPageBookClassW}) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;  // captions are centred: a resize repaints all
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
  }
}

void UnregisterContainerClasses(HINSTANCE instance) {
  UnregisterClassW(kPanelClassW, instance);
  UnregisterClassW(kPageBookClassW, instance);
}

std::unique_ptr<ControlPeer> MakePeer(Win32Backend& backend, Control& control) {
  std::unique_ptr<WindowPeer> peer;
  switch (control.Kind()) {
    case ControlKind::Form: peer = std::make_unique<FormPeer>(backend, static_cast<Form&>(control)); break;
    case ControlKind::Button: peer = std::make_unique<ButtonPeer>(backend, control); break;
    case ControlKind::CheckBox: peer = std::make_unique<CheckBoxPeer>(backend, static_cast<CheckBox&>(control)); break;
    case ControlKind::Label: peer = std::make_unique<LabelPeer>(backend, static_cast<Label&>(control)); break;
    case ControlKind::ListBox: peer = std::make_unique<ListBoxPeer>(backend, static_cast<ListBox&>(control)); break;
    case ControlKind::ProgressBar:
      peer = std::make_unique<ProgressPeer>(backend, static_cast<ProgressBar&>(control));
      break;
    case ControlKind::Panel:
    case ControlKind::Page: peer = std::make_unique<PanelPeer>(backend, static_cast<Panel&>(control)); break;
    case ControlKind::PageBook: peer = std::make_unique<PageBookPeer>(backend, static_cast<PageBook&>(control)); break;
  }
  // A control without a window (its parent has none) gets no peer.
  if (!peer || !peer->Handle()) return nullptr;
  return peer;
}

}  // namespace tk::win32
