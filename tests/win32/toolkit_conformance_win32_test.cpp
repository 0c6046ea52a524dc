// The toolkit's promises (tests/conformance) on real windows, under Wine.
// The user is played from outside as far as Windows lets a test: the
// pointer moves for real, boxes are answered from another thread, another
// window takes the activation away.
#include "toolkit/win32/win32_backend.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

#include "platform/win32/wide.h"
#include "tests/conformance/toolkit_conformance.h"

namespace {

using conformance::BoxSeen;
using namespace tk::win32;

constexpr DWORD kPatienceMs = 30000;

// Where the window system delivered the last mouse moves of this thread.
std::vector<POINT>* g_moves = nullptr;

LRESULT CALLBACK SeeMessages(int code, WPARAM wp, LPARAM lp) {
  auto* msg = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && msg->message == WM_MOUSEMOVE && g_moves) g_moves->push_back(msg->pt);
  return CallNextHookEx(nullptr, code, wp, lp);
}

bool IsBox(HWND h) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  return std::wstring(cls) == L"#32770" && IsWindowVisible(h) && GetDlgItem(h, 0xFFFF);
}

BOOL CALLBACK FindBox(HWND h, LPARAM lp) {
  if (!IsBox(h)) return TRUE;
  *reinterpret_cast<HWND*>(lp) = h;
  return FALSE;
}

std::string TextOf(HWND h) {
  wchar_t buf[1024] = {};
  GetWindowTextW(h, buf, 1024);
  return platform::win32::Utf8(buf);
}

class Win32Driver {
 public:
  Win32Driver() : ui_(GetCurrentThreadId()) {
    g_moves = &moves_;
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, SeeMessages, nullptr, ui_);
    boxes_thread_ = std::thread([this] { AnswerBoxes(); });
    // A loop that never ends would hang the whole run: after a generous
    // while the loop is told to quit, which ends every loop (and the test fails).
    watchdog_ = std::thread([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!cv_.wait_for(lock, std::chrono::seconds(60), [this] { return stopping_; })) {
        ADD_FAILURE() << "the test did not end by itself";
        PostThreadMessageW(ui_, WM_QUIT, 0, 0);
      }
    });
  }
  ~Win32Driver() {
    Finish();
    if (hook_) UnhookWindowsHookEx(hook_);
    g_moves = nullptr;
  }
  tk::Backend& Backend() { return backend_; }

  void Click(tk::Control& c) {
    tk::App().Queue([&c] {
      if (!c.Enabled() || !c.Showing()) return;
      SendMessageW(HandleOf(c), BM_CLICK, 0, 0);
    });
  }

  void MoveMouse(tk::Control& c, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(HandleOf(c), &pt);
    moves_.clear();
    SetCursorPos(pt.x, pt.y);
    bool seen = RunUntil([&] {
      for (const POINT& p : moves_)
        if (p.x == pt.x && p.y == pt.y) return true;
      return false;
    });
    EXPECT_TRUE(seen) << "no move over " << c.Name() << " was delivered";
  }

  void RefuseActivation(tk::Form& form) {
    refusing_ = &form;
    if (hooked_.insert(&form).second)
      HookFormMessages(form, [this, &form](HWND, UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
        // What Windows' foreground lock does: the dialog shows, unactivated.
        if (msg != WM_ACTIVATE || LOWORD(wp) == WA_INACTIVE || refusing_ != &form) return false;
        result = 0;
        return true;
      });
  }

  void SwitchAwayAndBack(tk::Form& form) {
    tk::App().Queue([this, &form] {
      refusing_ = nullptr;
      HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 700, 500, 100, 40,
                                   nullptr, nullptr, nullptr, nullptr);
      SetActiveWindow(other);
      SetActiveWindow(HandleOf(form));
      DestroyWindow(other);
    });
  }

  void AnswerNextBox(tk::ModalResult answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(answer);
    cv_.notify_all();
  }
  std::vector<BoxSeen> Boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

  void StartWorker(std::function<void()> fn) { workers_.emplace_back(std::move(fn)); }
  void JoinWorkers() {
    for (std::thread& t : workers_) t.join();
    workers_.clear();
  }

  bool RunUntil(const std::function<bool()>& done) {
    // A beat keeps the loop from sleeping in WaitMessage while nothing of
    // the test's own comes.
    UINT_PTR beat = SetTimer(nullptr, 0, 10, nullptr);
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < kPatienceMs) tk::App().HandleMessage();
    KillTimer(nullptr, beat);
    return done();
  }

  void Finish() {
    JoinWorkers();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      cv_.notify_all();
    }
    if (boxes_thread_.joinable()) boxes_thread_.join();
    if (watchdog_.joinable()) watchdog_.join();
  }

 private:
  // Answers the boxes of the user interface thread in order, as the user
  // would: waits for each to show, reads it, presses the button.
  void AnswerBoxes() {
    for (;;) {
      tk::ModalResult answer;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return stopping_ || !answers_.empty(); });
        if (stopping_) return;
        answer = answers_.front();
        answers_.pop_front();
      }
      HWND box = nullptr;
      for (DWORD start = GetTickCount(); !box && GetTickCount() - start < kPatienceMs; Sleep(5))
        EnumThreadWindows(ui_, FindBox, LPARAM(&box));
      if (!box) continue;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({TextOf(box), TextOf(GetDlgItem(box, 0xFFFF))});
      }
      SendMessageW(GetDlgItem(box, int(answer)), BM_CLICK, 0, 0);
      for (DWORD start = GetTickCount(); IsWindow(box) && GetTickCount() - start < kPatienceMs;) Sleep(5);
    }
  }

  Win32Backend backend_;
  DWORD ui_;
  HHOOK hook_ = nullptr;
  std::vector<POINT> moves_;
  tk::Form* refusing_ = nullptr;
  std::set<tk::Form*> hooked_;
  std::vector<std::thread> workers_;

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<tk::ModalResult> answers_;
  std::vector<BoxSeen> boxes_;
  bool stopping_ = false;
  std::thread boxes_thread_;
  std::thread watchdog_;
};

}  // namespace

namespace conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ToolkitConformance, Win32Driver);
}  // namespace conformance
