// The native windows behind the controls. Only for the backend's own files.
#pragma once
#include <array>
#include <iterator>
#include "toolkit/application.h"
#include "toolkit/win32/win32_backend.h"

namespace tk::win32 {

// Private messages of the toolkit's windows (WM_USER range is left to
// dialog messages such as DM_GETDEFID, which IsDialogMessage sends).
constexpr UINT kMsgWake = WM_APP + 0x100;
constexpr UINT kMsgActivated = WM_APP + 0x102;
constexpr UINT kMsgQueue = WM_APP + 0x103;

// The class and property names other programs look for, as the wide
// functions take them. The application window's class is the model's.
inline constexpr auto kAppWindowClassW = [] {
  std::array<wchar_t, std::size(Application::kWindowClass)> wide{};
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = wchar_t(Application::kWindowClass[i]);
  return wide;
}();
inline constexpr wchar_t kPanelClassW[] = L"TPanel";
inline constexpr wchar_t kPageBookClassW[] = L"TPageBook";
inline constexpr wchar_t kControlNamePropW[] = L"ControlName";  // a global atom of the control's name

class WindowPeer : public ControlPeer {
 public:
  WindowPeer(Win32Backend& backend, Control& control) : backend_(backend), control_(control) {}
  ~WindowPeer() override;
  WindowPeer(const WindowPeer&) = delete;
  WindowPeer& operator=(const WindowPeer&) = delete;

  HWND Handle() const { return hwnd_; }
  Control& Model() const { return control_; }
  void Update(Prop p) override;

  // A notification the parent window received from this control.
  virtual void Command(WORD code) {}
  // Answers WM_CTLCOLOR* for this control: sets the DC's colours and
  // returns the background brush, or nullptr for the system's default.
  virtual HBRUSH Colors(UINT msg, HDC dc);
  // The window is going away on its own (its parent was destroyed).
  void Forget();
  void Bind(HWND hwnd) { hwnd_ = hwnd; }
  // A message to a subclassed system control, before its class procedure
  // (which this passes it on to). Reports mouse moves to the model.
  virtual LRESULT OwnMessage(UINT msg, WPARAM wp, LPARAM lp);

 protected:
  // Creates a child window of the parent control's window.
  bool CreateChild(const wchar_t* window_class, DWORD style, DWORD ex_style = 0);
  // Ties the window to this peer: properties, font.
  void Adopt(HWND hwnd);
  // Routes a system control's own messages through OwnMessage, so that the
  // model hears of what the control keeps to itself (mouse moves, releases).
  void Subclass();
  // Whether a user's action on the control may run its handlers.
  bool Usable() const { return control_.Enabled() && control_.Showing(); }
  void Redraw();

  Win32Backend& backend_;
  Control& control_;
  HWND hwnd_ = nullptr;
  ATOM name_atom_ = 0;
};

// The peer of one of the toolkit's windows, or nullptr.
WindowPeer* PeerOf(HWND hwnd);

std::unique_ptr<ControlPeer> MakePeer(Win32Backend& backend, Control& control);
// The hidden window of a message window; nullptr when it could not be made.
std::unique_ptr<MessageWindowPeer> MakeMessageWindowPeer(Win32Backend& backend, MessageWindow& window);
// Registers the container classes ("TPanel", "TPageBook").
void RegisterContainerClasses(HINSTANCE instance);
void UnregisterContainerClasses(HINSTANCE instance);
// The form's window procedure, for the classes the backend registers.
LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// The colour a control shows behind itself: its own, else the nearest
// parent's, else the system's button face.
COLORREF BackgroundOf(const Control& control);

}  // namespace tk::win32
