// The real Windows backend of the toolkit: every control is a native window,
// the loop is the thread's message queue.
//
//   tk::win32::Win32Backend backend(hinstance);   // before the Application
//   tk::Application app(backend);                 // and before every form
//
// The backend must outlive the application and every form and timer: its
// peers and timers refer to it.
//
// Components that need a window get it with HandleOf(control).
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// <windows.h> renames these to their -A forms, which would rename the
// toolkit's own Canvas::DrawText and Application::MessageBox too.
#undef DrawText
#undef MessageBox

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>
#include "platform/win32/win32_handles.h"
#include "toolkit/backend.h"
#include "toolkit/form.h"

namespace tk::win32 {

class GdiObjects;

class Win32Backend : public Backend {
 public:
  explicit Win32Backend(HINSTANCE instance = nullptr);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  // The live backend, or nullptr.
  static Win32Backend* Current();

  HINSTANCE Instance() const { return instance_; }
  // The hidden window of class Application::kWindowClass captioned with the title.
  HWND AppWindow() const { return app_window_; }

  // --- Backend -------------------------------------------------------------
  std::unique_ptr<ControlPeer> CreatePeer(Control& control) override;
  bool ProcessOne() override;
  void WaitForEvent() override;
  void Wake() override;
  void BeginModal(Form& form) override;
  void EndModal(Form& form) override;
  ModalResult ShowMessageBox(MsgKind kind, const std::string& caption, const std::string& text,
                             MsgButtons buttons) override;
  void UpdateTimer(Timer& timer) override;
  void RemoveTimer(Timer& timer) override;
  // Throws tk::Error when the call cannot be run because the backend is
  // going away; rethrows what the call itself let out.
  void Queue(std::function<void()> call) override;
  void Popup(PopupMenu& menu, int x, int y, MessageWindow* owner) override;
  std::unique_ptr<MessageWindowPeer> CreateMessageWindow(MessageWindow& window) override;
  unsigned RegisterMessage(const std::string& name) override;
  // Only with lowest_sender Fewer does Windows let it through from below
  // our integrity level (ChangeWindowMessageFilterEx).
  void ListenForMessage(const std::string& name, std::function<void()> handler, Rights lowest_sender = Rights::Same,
                        intptr_t answer = 0) override;
  Point CursorPos() override;
  void TitleChanged(const std::string& title) override;

  // --- For the peers -------------------------------------------------------
  GdiObjects& Gdi() { return *gdi_; }
  // Registers a form's window class once.
  const wchar_t* FormClass(const Form& form);
  // The window that should own a box or menu now: the thread's active
  // window when it is one of ours, else the application window.
  HWND OwnerWindow() const;

 private:
  struct ModalSession {
    Form* form;
    std::vector<HWND> disabled;
    HWND previous_active;
  };
  static LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleAppMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void RunQueuedCall();
  // A menu item's picture: the named icon as a bitmap with its alpha, made
  // once and kept until the backend goes.
  HBITMAP MenuPicture(const std::string& name);
  void Tick(UINT_PTR id);
  std::vector<HWND> DisableThreadWindows(HWND except) const;
  static void EnableWindows(const std::vector<HWND>& windows);

  HINSTANCE instance_;
  HWND app_window_ = nullptr;
  std::unique_ptr<GdiObjects> gdi_;
  std::set<std::wstring> form_classes_;
  std::vector<ModalSession> modals_;

  std::map<Timer*, UINT_PTR> timer_ids_;
  std::map<UINT_PTR, Timer*> timers_;
  std::set<UINT_PTR> ticking_;
  UINT_PTR next_timer_id_ = 1;

  std::atomic<bool> wake_posted_{false};
  std::mutex queue_mutex_;
  std::deque<std::function<void()>> queued_;
  bool closing_ = false;

  struct Listening {
    std::vector<std::function<void()>> handlers;
    LRESULT answer = 0;
  };
  std::map<UINT, Listening> listeners_;
  std::map<std::string, platform::win32::BitmapHandle> menu_pictures_;
};

// The window behind a control, or nullptr when it has none (yet).
HWND HandleOf(const Control& control);
// The control behind one of the toolkit's windows, or nullptr.
Control* ControlOf(HWND hwnd);

}  // namespace tk::win32
