#include "toolkit/win32/win32_backend.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include "platform/win32/wide.h"
#include "toolkit/backend_access.h"
#include "toolkit/error.h"
#include "toolkit/win32/gdi_canvas.h"
#include "toolkit/win32/peers.h"

namespace tk::win32 {

using platform::win32::BitmapHandle;
using platform::win32::DcHandle;
using platform::win32::IconHandle;
using platform::win32::MenuHandle;
using platform::win32::Wide;

namespace {
Win32Backend* g_current = nullptr;

UINT IconFlag(MsgKind kind) {
  switch (kind) {
    case MsgKind::Information: return MB_ICONINFORMATION;
    case MsgKind::Warning: return MB_ICONWARNING;
    case MsgKind::Error: return MB_ICONERROR;
    case MsgKind::Confirmation: return MB_ICONQUESTION;
    case MsgKind::Plain: return 0;
  }
  return 0;
}

UINT ButtonsFlag(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return MB_OK;
    case MsgButtons::OkCancel: return MB_OKCANCEL;
    case MsgButtons::YesNo: return MB_YESNO;
    case MsgButtons::YesNoCancel: return MB_YESNOCANCEL;
    case MsgButtons::RetryCancel: return MB_RETRYCANCEL;
    case MsgButtons::AbortRetryIgnore: return MB_ABORTRETRYIGNORE;
  }
  return MB_OK;
}

ModalResult ResultOf(int id) {
  switch (id) {
    case IDOK: return ModalResult::Ok;
    case IDCANCEL: return ModalResult::Cancel;
    case IDABORT: return ModalResult::Abort;
    case IDRETRY: return ModalResult::Retry;
    case IDIGNORE: return ModalResult::Ignore;
    case IDYES: return ModalResult::Yes;
    case IDNO: return ModalResult::No;
    case 0: return ModalResult::None;  // the box could not be shown: no answer
    default: return ModalResult::Cancel;
  }
}

bool IsOurForm(HWND hwnd) {
  Control* c = ControlOf(hwnd);
  return c && c->Kind() == ControlKind::Form;
}
}  // namespace

// --- Win32Backend --------------------------------------------------------------

Win32Backend::Win32Backend(HINSTANCE instance)
    : instance_(instance ? instance : GetModuleHandleW(nullptr)),
      gdi_(std::make_unique<GdiObjects>()) {
  g_current = this;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = AppWindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kAppWindowClassW.data();
  RegisterClassExW(&wc);
  RegisterContainerClasses(instance_);
  // Hidden, without a task-bar button: it owns boxes and the other forms,
  // and receives timers and calls queued by worker threads.
  app_window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kAppWindowClassW.data(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance_, this);
}

Win32Backend::~Win32Backend() {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    closing_ = true;
    queued_.clear();
  }
  for (auto& [id, timer] : timers_) KillTimer(app_window_, id);
  if (app_window_) DestroyWindow(app_window_);
  UnregisterContainerClasses(instance_);
  for (const std::wstring& name : form_classes_) UnregisterClassW(name.c_str(), instance_);
  UnregisterClassW(kAppWindowClassW.data(), instance_);
  if (g_current == this) g_current = nullptr;
}

Win32Backend* Win32Backend::Current() { return g_current; }

const wchar_t* Win32Backend::FormClass(const Form& form) {
  const std::wstring name = Wide(form.ClassName().empty() ? std::string("TForm") : form.ClassName());
  auto it = form_classes_.find(name);
  if (it != form_classes_.end()) return it->c_str();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FormWindowProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(instance_, L"MAINICON");
  if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  wc.lpszClassName = name.c_str();
  RegisterClassExW(&wc);
  return form_classes_.insert(name).first->c_str();
}

HWND Win32Backend::OwnerWindow() const {
  HWND active = GetActiveWindow();
  if (active && IsWindowVisible(active) && IsOurForm(active)) return active;
  return app_window_;
}

std::unique_ptr<ControlPeer> Win32Backend::CreatePeer(Control& control) { return MakePeer(*this, control); }

LRESULT CALLBACK Win32Backend::AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  auto* self = reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    return self->HandleAppMessage(hwnd, msg, wp, lp);
  } catch (const std::exception& e) {
    if (Application::Exists()) App().ShowException(e);
  } catch (...) {
  }
  return 0;
}

LRESULT Win32Backend::HandleAppMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kMsgWake: wake_posted_ = false; return 0;
    case kMsgQueue: RunQueuedCall(); return 0;
    case WM_TIMER: Tick(wp); return 0;
    case WM_QUERYENDSESSION: return TRUE;  // nothing here holds up the end of the session
    case WM_ENDSESSION:
      if (wp && Application::Exists()) BackendAccess::EndSession();
      return 0;
    case WM_CLOSE:
      // Someone closing the program from outside: as the main form's close box.
      if (Application::Exists()) {
        if (Form* main = App().MainForm())
          main->Close();
        else
          App().Terminate();
      }
      return 0;
    default:
      if (auto it = listeners_.find(msg); it != listeners_.end()) {
        // Sent from another thread: a question, answered at once.
        if (InSendMessage()) return it->second.answer;
        auto handlers = it->second.handlers;  // a handler may add listeners
        for (auto& handler : handlers) App().Invoke(handler);
        return 0;
      }
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

bool Win32Backend::ProcessOne() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    if (Application::Exists()) App().Terminate();
    return true;
  }
  // Tab, arrows and the space bar move between and press controls, as in
  // dialogs; only keys go that way, so that clicks reach the controls as sent.
  if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && msg.hwnd) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root && IsOurForm(root) && IsDialogMessageW(root, &msg)) return true;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

void Win32Backend::WaitForEvent() { WaitMessage(); }

void Win32Backend::Wake() {
  // One wake message at a time is enough to end a WaitMessage.
  if (!wake_posted_.exchange(true) && !PostMessageW(app_window_, kMsgWake, 0, 0)) wake_posted_ = false;
}

namespace {
struct ThreadWindowWalk {
  HWND except, app;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM lp) {
  auto* w = reinterpret_cast<ThreadWindowWalk*>(lp);
  if (hwnd != w->except && hwnd != w->app && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
    w->found.push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> Win32Backend::DisableThreadWindows(HWND except) const {
  ThreadWindowWalk walk{except, app_window_, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, LPARAM(&walk));
  for (HWND hwnd : walk.found) EnableWindow(hwnd, FALSE);
  return walk.found;
}

void Win32Backend::EnableWindows(const std::vector<HWND>& windows) {
  for (HWND hwnd : windows)
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
}

void Win32Backend::BeginModal(Form& form) {
  form.CreateHandle();
  HWND hwnd = HandleOf(form);
  if (!hwnd) return;
  HWND previous = GetActiveWindow();
  if (previous == hwnd || (previous && !IsWindowVisible(previous))) previous = nullptr;
  // Owned by what it interrupts, so that it stays above it.
  HWND owner = previous;
  if (!owner)
    if (Form* main = Application::Exists() ? App().MainForm() : nullptr)
      if (HWND m = HandleOf(*main); m && m != hwnd && IsWindowVisible(m)) owner = m;
  SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, LONG_PTR(owner ? owner : app_window_));
  modals_.push_back(ModalSession{&form, DisableThreadWindows(hwnd), previous});
  if (!IsWindowEnabled(hwnd)) EnableWindow(hwnd, TRUE);
  form.SetVisible(true);
  SetForegroundWindow(hwnd);
  SetActiveWindow(hwnd);
}

void Win32Backend::EndModal(Form& form) {
  auto it = std::find_if(modals_.rbegin(), modals_.rend(), [&](const ModalSession& s) { return s.form == &form; });
  if (it == modals_.rend()) return;
  ModalSession session = *it;
  modals_.erase(std::next(it).base());
  // Enabled before the form goes, so that activation falls back to them
  // rather than to some other program's window.
  EnableWindows(session.disabled);
  form.Hide();
  HWND previous = session.previous_active;
  if (previous && IsWindow(previous) && IsWindowVisible(previous) && IsWindowEnabled(previous))
    SetActiveWindow(previous);
}

ModalResult Win32Backend::ShowMessageBox(MsgKind kind, const std::string& caption, const std::string& text,
                                         MsgButtons buttons) {
  HWND owner = OwnerWindow();
  // The box disables only its owner; every other window of the program
  // must wait for the answer too.
  std::vector<HWND> disabled = DisableThreadWindows(owner);
  // With no window of ours on screen (all in the tray) the box must not end
  // up behind the program the user works in, where nothing would show it.
  UINT topmost = owner == app_window_ ? MB_TOPMOST : 0;
  int id = MessageBoxExW(owner, Wide(text).c_str(), Wide(caption).c_str(), topmost |
                         IconFlag(kind) | ButtonsFlag(buttons) | MB_TASKMODAL | MB_SETFOREGROUND, 0);
  EnableWindows(disabled);
  return ResultOf(id);
}

void Win32Backend::UpdateTimer(Timer& timer) {
  if (!timer.Armed()) {
    RemoveTimer(timer);
    return;
  }
  UINT_PTR id;
  auto it = timer_ids_.find(&timer);
  if (it != timer_ids_.end()) {
    id = it->second;
  } else {
    id = next_timer_id_++;
    timer_ids_[&timer] = id;
    timers_[id] = &timer;
  }
  // SetTimer on a running id starts its interval anew.
  if (!SetTimer(app_window_, id, UINT(std::max(1, timer.Interval())), nullptr)) {
    timer_ids_.erase(&timer);
    timers_.erase(id);
  }
}

void Win32Backend::RemoveTimer(Timer& timer) {
  auto it = timer_ids_.find(&timer);
  if (it == timer_ids_.end()) return;
  KillTimer(app_window_, it->second);
  timers_.erase(it->second);
  timer_ids_.erase(it);
}

void Win32Backend::Tick(UINT_PTR id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) {
    KillTimer(app_window_, id);  // a stray tick of a timer that is gone
    return;
  }
  // A handler still running (its error box is up, it shows a form) is not
  // entered again: that would pile up one box per tick.
  if (!ticking_.insert(id).second) return;
  BackendAccess::DoTimer(*it->second);  // may remove or destroy the timer
  ticking_.erase(id);
}

void Win32Backend::Queue(std::function<void()> call) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (closing_) return;
    queued_.push_back(std::move(call));
  }
  // One message per call, so that a call that pumps messages does not run
  // the ones queued after it out of order.
  PostMessageW(app_window_, kMsgQueue, 0, 0);
}

void Win32Backend::RunQueuedCall() {
  std::function<void()> call;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (queued_.empty()) return;
    call = std::move(queued_.front());
    queued_.pop_front();
  }
  call();
}

HBITMAP Win32Backend::MenuPicture(const std::string& name) {
  auto it = menu_pictures_.find(name);
  if (it != menu_pictures_.end()) return it->second.get();
  BitmapHandle& picture = menu_pictures_[name];
  const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
  const IconHandle icon(HICON(LoadImageW(instance_, Wide(name).c_str(), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
  if (!icon) return nullptr;
  ICONINFO info{};
  if (GetIconInfo(icon.get(), &info)) {
    // Copies of the icon's bitmaps, ours to delete.
    const BitmapHandle color(info.hbmColor), mask(info.hbmMask);
    // A 32-bit bitmap with premultiplied alpha, which menus draw blended.
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DcHandle dc(CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    picture.reset(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (picture && color) {
      auto* px = static_cast<RGBQUAD*>(bits);
      const int n = cx * cy;
      GetDIBits(dc.get(), color.get(), 0, UINT(cy), px, &bi, DIB_RGB_COLORS);
      bool has_alpha = false;
      for (int i = 0; i < n; ++i) has_alpha |= px[i].rgbReserved != 0;
      if (!has_alpha) {
        // An icon without alpha: its mask says what shows.
        std::vector<RGBQUAD> mask_bits(static_cast<size_t>(n));
        GetDIBits(dc.get(), mask.get(), 0, UINT(cy), mask_bits.data(), &bi, DIB_RGB_COLORS);
        for (int i = 0; i < n; ++i) px[i].rgbReserved = mask_bits[size_t(i)].rgbRed ? 0 : 255;
      }
      for (int i = 0; i < n; ++i) {
        px[i].rgbRed = BYTE(px[i].rgbRed * px[i].rgbReserved / 255);
        px[i].rgbGreen = BYTE(px[i].rgbGreen * px[i].rgbReserved / 255);
        px[i].rgbBlue = BYTE(px[i].rgbBlue * px[i].rgbReserved / 255);
      }
    }
  }
  return picture.get();
}

void Win32Backend::Popup(PopupMenu& menu, int x, int y, MessageWindow* owner_window) {
  const MenuHandle handle(CreatePopupMenu());
  if (!handle) return;
  const auto& items = menu.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = items[i];
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    std::wstring caption = Wide(item.caption);
    if (item.caption == "-") {
      mi.fMask = MIIM_FTYPE;
      mi.fType = MFT_SEPARATOR;
    } else {
      mi.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
      mi.wID = UINT(i + 1);
      mi.dwTypeData = caption.data();
      mi.fState = (item.enabled ? MFS_ENABLED : MFS_DISABLED) | (item.is_default ? MFS_DEFAULT : 0);
      if (HBITMAP picture = item.picture.empty() ? nullptr : MenuPicture(item.picture)) {
        mi.fMask |= MIIM_BITMAP;
        mi.hbmpItem = picture;
      }
    }
    InsertMenuItemW(handle.get(), UINT(i), TRUE, &mi);
  }
  // A tray menu closes when the user clicks elsewhere only if its owner
  // is the foreground window; the WM_NULL afterwards is what Windows asks for.
  HWND owner = owner_window && owner_window->Handle() ? HWND(owner_window->Handle()) : OwnerWindow();
  SetForegroundWindow(owner);
  UINT chosen = UINT(TrackPopupMenu(handle.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr));
  PostMessageW(owner, WM_NULL, 0, 0);
  if (chosen >= 1 && chosen <= menu.Items().size()) {
    std::string name = menu.Items()[chosen - 1].name;
    menu.Choose(name);
  }
}

std::unique_ptr<MessageWindowPeer> Win32Backend::CreateMessageWindow(MessageWindow& window) {
  return MakeMessageWindowPeer(*this, window);
}

unsigned Win32Backend::RegisterMessage(const std::string& name) { return RegisterWindowMessageW(Wide(name).c_str()); }

void Win32Backend::ListenForMessage(const std::string& name, std::function<void()> handler, Rights lowest_sender,
                                    intptr_t answer) {
  UINT msg = RegisterMessage(name);
  if (!msg) return;
  Listening& listening = listeners_[msg];
  listening.handlers.push_back(std::move(handler));
  listening.answer = answer;
  if (lowest_sender == Rights::Fewer) ChangeWindowMessageFilterEx(app_window_, msg, MSGFLT_ALLOW, nullptr);
}

Point Win32Backend::CursorPos() {
  POINT p{};
  GetCursorPos(&p);
  return Point{p.x, p.y};
}

void Win32Backend::TitleChanged(const std::string& title) { SetWindowTextW(app_window_, Wide(title).c_str()); }

}  // namespace tk::win32
