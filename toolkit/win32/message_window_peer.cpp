// The hidden top-level window behind a tk::MessageWindow. Top-level (not a
// message-only window), because the broadcasts it exists for, such as the
// shell's "TaskbarCreated", reach top-level windows only.
#include "platform/win32/wide.h"
#include "toolkit/backend_access.h"
#include "toolkit/win32/peers.h"

namespace tk::win32 {

namespace {

class MessageWindowPeerImpl : public MessageWindowPeer {
 public:
  MessageWindowPeerImpl(Win32Backend& backend, MessageWindow& model) : model_(model) {
    std::wstring cls = platform::win32::Wide(model.ClassName());
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = backend.Instance();
    wc.lpszClassName = cls.c_str();
    // A second window of the class finds it registered already.
    RegisterClassExW(&wc);
    hwnd_ = CreateWindowExW(0, cls.c_str(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, backend.Instance(), this);
  }
  ~MessageWindowPeerImpl() override {
    if (hwnd_) {
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      DestroyWindow(hwnd_);
    }
  }
  uintptr_t Handle() const override { return uintptr_t(hwnd_); }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<MessageWindowPeerImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    intptr_t result = 0;
    if (self && msg != WM_NCCREATE && BackendAccess::DoMessage(self->model_, msg, wp, lp, result))
      return LRESULT(result);
    // The session ends for the whole program, whichever window hears it first.
    if (msg == WM_ENDSESSION && wp && Application::Exists()) BackendAccess::EndSession();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }

  MessageWindow& model_;
  HWND hwnd_ = nullptr;
};

}  // namespace

std::unique_ptr<MessageWindowPeer> MakeMessageWindowPeer(Win32Backend& backend, MessageWindow& window) {
  auto peer = std::make_unique<MessageWindowPeerImpl>(backend, window);
  return peer->Handle() ? std::move(peer) : nullptr;
}

}  // namespace tk::win32
