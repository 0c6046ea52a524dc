// The toolkit on real windows, under Wine: the promises every backend keeps
// (tests/conformance), and then what only Windows has: the windows behind
// the controls and what other programs read from them, frames and client
// sizes, fonts, colours, painting, the keyboard, native boxes and menus.
// The user is played from outside as far as Windows lets a test: the
// pointer moves for real, boxes are answered from another thread, another
// window takes the activation away, real messages reach the windows.
#include "toolkit/win32/win32_backend.h"

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/win32/wide.h"
#include "tests/conformance/toolkit_conformance.h"
#include "toolkit/win32/gdi_canvas.h"

using namespace tk;
using namespace tk::win32;

namespace {

using conformance::BoxSeen;
using conformance::Dialog;

constexpr DWORD kPatienceMs = 30000;

std::string TextOf(HWND h) {
  wchar_t buf[1024] = {};
  GetWindowTextW(h, buf, 1024);
  return platform::win32::Utf8(buf);
}

std::string ClassOf(HWND h) {
  char buf[256] = {};
  GetClassNameA(h, buf, sizeof buf);
  return buf;
}

// What another program reads to know a window's control.
std::string NameOf(HWND h) {
  auto atom = ATOM(UINT_PTR(GetPropA(h, "ControlName")));
  char buf[256] = {};
  if (!atom || !GlobalGetAtomNameA(atom, buf, sizeof buf)) return "";
  return buf;
}

SIZE ClientSize(HWND h) {
  RECT r;
  GetClientRect(h, &r);
  return SIZE{r.right, r.bottom};
}

// Polls a condition from a worker thread, for at most a while.
template <typename F>
bool WaitFor(F condition, DWORD ms = 15000) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(5);
  }
  return true;
}

// A visible message box of the user interface thread.
bool IsBox(HWND h) {
  return ClassOf(h) == "#32770" && IsWindowVisible(h) && GetDlgItem(h, 0xFFFF);
}

BOOL CALLBACK FindThreadBox(HWND h, LPARAM lp) {
  if (!IsBox(h)) return TRUE;
  *reinterpret_cast<HWND*>(lp) = h;
  return FALSE;
}

HWND FindBox(const char* caption) {
  HWND box = nullptr;
  WaitFor([&] {
    box = FindWindowA("#32770", caption);
    return box && IsWindowVisible(box);
  });
  return box;
}

std::string BoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

void Press(HWND box, int id) { SendMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0); }

// A loop that never ends would hang the whole run: after a generous while
// the loop is told to quit, which ends every loop (and the test fails).
class Watchdog {
 public:
  Watchdog() : ui_(GetCurrentThreadId()), thread_([this] { Watch(); }) {}
  ~Watchdog() { Stop(); }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
      ADD_FAILURE() << "the test did not end by itself";
      PostThreadMessageW(ui_, WM_QUIT, 0, 0);
    }
  }
  DWORD ui_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

// Runs the loop until done() holds; false when it never did.
bool PumpUntil(const std::function<bool()>& done) {
  // A beat keeps the loop from sleeping in WaitMessage while nothing of
  // the test's own comes.
  UINT_PTR beat = SetTimer(nullptr, 0, 10, nullptr);
  DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < kPatienceMs) App().HandleMessage();
  KillTimer(nullptr, beat);
  return done();
}

// --- The promises every backend keeps ------------------------------------------

// Where the window system delivered the last mouse moves of this thread.
std::vector<POINT>* g_moves = nullptr;

LRESULT CALLBACK SeeMessages(int code, WPARAM wp, LPARAM lp) {
  auto* msg = reinterpret_cast<MSG*>(lp);
  if (code == HC_ACTION && wp == PM_REMOVE && msg->message == WM_MOUSEMOVE && g_moves) g_moves->push_back(msg->pt);
  return CallNextHookEx(nullptr, code, wp, lp);
}

class Win32Driver {
 public:
  Win32Driver() : ui_(GetCurrentThreadId()) {
    g_moves = &moves_;
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, SeeMessages, nullptr, ui_);
    boxes_thread_ = std::thread([this] { AnswerBoxes(); });
  }
  ~Win32Driver() {
    Finish();
    if (hook_) UnhookWindowsHookEx(hook_);
    g_moves = nullptr;
  }
  tk::Backend& Backend() { return backend_; }

  void Click(Control& c) {
    App().Queue([&c] {
      if (!c.Enabled() || !c.Showing()) return;
      SendMessageW(HandleOf(c), BM_CLICK, 0, 0);
    });
  }

  void Select(ListBox& list, int index) {
    App().Queue([&list, index] {
      if (!list.Enabled() || !list.Showing()) return;
      // What a click on an item does: the list selects it and tells its parent.
      HWND h = HandleOf(list);
      SendMessageW(h, LB_SETCURSEL, WPARAM(index), 0);
      SendMessageW(GetParent(h), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), LBN_SELCHANGE), LPARAM(h));
    });
  }

  void CloseBox(Form& form) { PostMessageW(HandleOf(form), WM_CLOSE, 0, 0); }

  void MoveMouse(Control& c, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(HandleOf(c), &pt);
    moves_.clear();
    SetCursorPos(pt.x, pt.y);
    bool seen = PumpUntil([&] {
      for (const POINT& p : moves_)
        if (p.x == pt.x && p.y == pt.y) return true;
      return false;
    });
    EXPECT_TRUE(seen) << "no move over " << c.Name() << " was delivered";
  }

  // What Windows' foreground lock does: the form shows, but is not
  // activated. The form's window is subclassed, as another program can.
  void RefuseActivation(Form& form) {
    form.CreateHandle();
    refusing_ = HandleOf(form);
    SetWindowSubclass(refusing_, RefuseActivate, 1, DWORD_PTR(this));
  }

  void SwitchAwayAndBack(Form& form) {
    App().Queue([this, &form] {
      refusing_ = nullptr;
      HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 700, 500, 100, 40,
                                   nullptr, nullptr, nullptr, nullptr);
      SetActiveWindow(other);
      SetActiveWindow(HandleOf(form));
      DestroyWindow(other);
    });
  }

  void AnswerNextBox(ModalResult answer) {
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

  bool RunUntil(const std::function<bool()>& done) { return PumpUntil(done); }

  void Finish() {
    JoinWorkers();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
      cv_.notify_all();
    }
    if (boxes_thread_.joinable()) boxes_thread_.join();
    watchdog_.Stop();
  }

 private:
  static LRESULT CALLBACK RefuseActivate(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<Win32Driver*>(data);
    if (msg == WM_ACTIVATE && LOWORD(wp) != WA_INACTIVE && h == self->refusing_) return 0;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(h, RefuseActivate, id);
    return DefSubclassProc(h, msg, wp, lp);
  }

  // Answers the boxes of the user interface thread in order, as the user
  // would: waits for each to show, reads it, presses the button.
  void AnswerBoxes() {
    for (;;) {
      ModalResult answer;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return stopping_ || !answers_.empty(); });
        if (stopping_) return;
        answer = answers_.front();
        answers_.pop_front();
      }
      HWND box = nullptr;
      for (DWORD start = GetTickCount(); !box && GetTickCount() - start < kPatienceMs; Sleep(5))
        EnumThreadWindows(ui_, FindThreadBox, LPARAM(&box));
      if (!box) continue;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({TextOf(box), BoxText(box)});
      }
      Press(box, int(answer));
      for (DWORD start = GetTickCount(); IsWindow(box) && GetTickCount() - start < kPatienceMs;) Sleep(5);
    }
  }

  Win32Backend backend_;
  DWORD ui_;
  Watchdog watchdog_;
  HHOOK hook_ = nullptr;
  std::vector<POINT> moves_;
  HWND refusing_ = nullptr;
  std::vector<std::thread> workers_;

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<ModalResult> answers_;
  std::vector<BoxSeen> boxes_;
  bool stopping_ = false;
  std::thread boxes_thread_;
};

}  // namespace

namespace conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ToolkitConformance, Win32Driver);
}  // namespace conformance

// --- What only Windows has -------------------------------------------------------

namespace {

class DemoForm : public Form {
 public:
  DemoForm() : Form("velmain", "Tveltest") {
    SetCaption("Veltrane toolkit test");
    SetBorder(BorderStyle::Single);
    SetBorderIcons(kSystemMenu | kMinimize);
    SetClientSize(420, 300);
    SetScreenPos(40, 40);
    SetFont(Font{"Tahoma", 8});
    header.SetBounds(0, 0, 420, 40);
    header.SetColor(Rgb(0x1F, 0x3F, 0x7F));
    header.SetCaption("Autostart guard");
    header.SetFont(Font{"Verdana", 12, true, Rgb(255, 255, 255)});
    body.SetBounds(0, 40, 420, 260);
    body.SetColor(Rgb(255, 248, 220));
    title.SetBounds(10, 8, 250, 16);
    title.SetCaption("Entries on the white list:");
    title.SetFont(Font{"Tahoma", 8, true, Rgb(0x80, 0, 0)});
    list.SetBounds(10, 28, 250, 120);
    watch.SetBounds(270, 28, 140, 20);
    watch.SetCaption("Watch the Run key");
    ok.SetBounds(270, 56, 80, 24);
    ok.SetCaption("OK");
    ok.OnClick = [this] { clicks++; };
    progress.SetBounds(10, 156, 250, 16);
    progress.SetPosition(40);
    book.SetBounds(270, 90, 140, 82);
    page1.SetColor(Rgb(200, 230, 200));
    page1.SetBounds(0, 0, 140, 82);
    page2.SetBounds(0, 0, 140, 82);
    page2.SetCaption("second page");
    on_page1.SetBounds(8, 8, 120, 16);
    on_page1.SetCaption("on the green page");
    status.SetBounds(10, 190, 400, 16);
    status.SetAlignment(Align::Right);
    status.SetColor(Rgb(255, 255, 255));
    status.SetCaption("3 entries, 1 new");
  }
  Panel header{this, "header"};
  Panel body{this, "body"};
  Label title{&body, "title"};
  ListBox list{&body, "list"};
  CheckBox watch{&body, "watch"};
  Button ok{&body, "ok"};
  ProgressBar progress{&body, "progress"};
  PageBook book{&body, "book"};
  Page page1{&book, "page1"};
  Page page2{&book, "page2"};
  Label on_page1{&page1, "on_page1"};
  Label status{&body, "status"};
  int clicks = 0;
};

struct Win32Toolkit : ::testing::Test {
  Win32Backend backend;
  Application app{backend};
  Watchdog watchdog;
  DemoForm form;
  Win32Toolkit() {
    app.SetTitle("Veltrane Test");
    app.SetMainForm(&form);
    form.CreateHandle();
  }
  HWND H(const Control& c) { return HandleOf(c); }
};

}  // namespace

TEST_F(Win32Toolkit, EveryControlIsARealWindowNamedAndCaptionedAsInTheModel) {
  struct Expect {
    Control* control;
    const char* window_class;
  };
  const Expect all[] = {{&form, "Tveltest"},       {&form.header, "TPanel"},   {&form.body, "TPanel"},
                        {&form.title, "Static"},   {&form.list, "ListBox"},    {&form.watch, "Button"},
                        {&form.ok, "Button"},      {&form.progress, "msctls_progress32"},
                        {&form.book, "TPageBook"}, {&form.page1, "TPanel"},    {&form.on_page1, "Static"}};
  for (const Expect& e : all) {
    SCOPED_TRACE(e.control->Name());
    HWND h = H(*e.control);
    ASSERT_TRUE(IsWindow(h));
    EXPECT_EQ(ClassOf(h), e.window_class);
    EXPECT_EQ(NameOf(h), e.control->Name());
    EXPECT_EQ(TextOf(h), e.control->Caption());
    EXPECT_EQ(ControlOf(h), e.control);
    if (e.control != &form) {
      RECT r;
      GetWindowRect(h, &r);
      MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
      EXPECT_EQ(r.left, e.control->Left());
      EXPECT_EQ(r.bottom - r.top, e.control->Height());
      EXPECT_EQ(GetParent(h), H(*e.control->Parent()));
    }
  }
  EXPECT_EQ(GetWindowLongA(H(form.watch), GWL_STYLE) & BS_TYPEMASK, BS_CHECKBOX);
  EXPECT_EQ(GetWindowLongA(H(form.status), GWL_STYLE) & SS_TYPEMASK, SS_RIGHT);
  EXPECT_EQ(GetWindowLongA(H(form.title), GWL_STYLE) & SS_TYPEMASK, SS_LEFTNOWORDWRAP);
  EXPECT_TRUE(GetWindowLongA(H(form.title), GWL_STYLE) & SS_NOPREFIX);
  form.title.SetWordWrap(true);
  EXPECT_EQ(GetWindowLongA(H(form.title), GWL_STYLE) & SS_TYPEMASK, SS_LEFT);

  // The frame of a single border: caption and the chosen icons, no sizing.
  LONG style = GetWindowLongA(H(form), GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);

  // The hidden application window is found by class and title.
  EXPECT_EQ(FindWindowA("TApplication", "Veltrane Test"), backend.AppWindow());
  app.SetTitle("Veltrane 2");
  EXPECT_EQ(FindWindowA("TApplication", "Veltrane 2"), backend.AppWindow());
  EXPECT_FALSE(IsWindowVisible(backend.AppWindow()));
}

// The main form has the task-bar button; the others belong to the
// application window. The main form's activation work comes after its
// OnShow, as the user sees it.
TEST_F(Win32Toolkit, TheMainFormHasTheTaskBarButtonAndIsActivatedAfterItIsShown) {
  Form other("other", "Tvelother");
  other.Show();
  std::vector<std::string> order;
  form.OnShow = [&] { order.push_back("show"); };
  form.OnActivate = [&] { order.push_back("activate"); };
  form.Show();
  EXPECT_TRUE(PumpUntil([&] { return order.size() >= 2; }));
  EXPECT_EQ(order, (std::vector<std::string>{"show", "activate"}));
  EXPECT_TRUE(form.Active());
  EXPECT_TRUE(GetWindowLongA(H(form), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(H(form), GW_OWNER), nullptr);
  EXPECT_FALSE(GetWindowLongA(H(other), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(H(other), GW_OWNER), backend.AppWindow());
}

TEST_F(Win32Toolkit, ClientSizeIsExactForEveryBorderAndAfterChangesFromCode) {
  EXPECT_EQ(ClientSize(H(form)).cx, 420);
  EXPECT_EQ(ClientSize(H(form)).cy, 300);
  form.Show();
  // The program animates the height, down to nothing.
  for (int height : {120, 0, 1, 37, 300}) {
    form.SetClientHeight(height);
    EXPECT_EQ(ClientSize(H(form)).cy, height) << height;
    EXPECT_EQ(ClientSize(H(form)).cx, 420) << height;
  }
  for (BorderStyle border : {BorderStyle::Sizeable, BorderStyle::Dialog, BorderStyle::ToolWindow, BorderStyle::None}) {
    Form other("other", "Tvelother");
    other.SetBorder(border);
    other.SetClientSize(230, 0);
    other.Show();
    EXPECT_EQ(ClientSize(H(other)).cx, 230) << int(border);
    EXPECT_EQ(ClientSize(H(other)).cy, 0) << int(border);
    other.SetClientSize(150, 90);
    EXPECT_EQ(ClientSize(H(other)).cx, 150) << int(border);
    EXPECT_EQ(ClientSize(H(other)).cy, 90) << int(border);
  }
  Form centred("centred", "Tvelother");
  centred.SetClientSize(200, 80);
  centred.SetPosition(FormPosition::ScreenCenter);
  centred.Show();
  RECT area, frame;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(H(centred), &frame);
  EXPECT_LE(std::abs((frame.left - area.left) - (area.right - frame.right)), 1);
  EXPECT_LE(std::abs((frame.top - area.top) - (area.bottom - frame.bottom)), 1);
  EXPECT_EQ(centred.ScreenLeft(), frame.left);

  // The place is the outer frame's, and moves noted by the window agree.
  form.SetScreenPos(70, 80);
  RECT r;
  GetWindowRect(H(form), &r);
  EXPECT_EQ(r.left, 70);
  EXPECT_EQ(r.top, 80);
  SetWindowPos(H(form), nullptr, 90, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(form.ScreenLeft(), 90);
  EXPECT_EQ(form.ScreenTop(), 100);
}

TEST_F(Win32Toolkit, MinimisedWindowKeepsTheFormsPlaceAndTakesNewSizesOnRestore) {
  form.Show();
  form.SetScreenPos(50, 60);
  ShowWindow(H(form), SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(H(form)));
  EXPECT_EQ(form.ScreenLeft(), 50);
  EXPECT_EQ(form.ScreenTop(), 60);
  EXPECT_EQ(form.ClientHeight(), 300);
  form.SetClientHeight(150);
  ShowWindow(H(form), SW_RESTORE);
  EXPECT_EQ(ClientSize(H(form)).cy, 150);
  RECT r;
  GetWindowRect(H(form), &r);
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(form.ScreenTop(), 60);
}

TEST_F(Win32Toolkit, ModelChangesReachTheWindows) {
  form.Show();
  form.watch.SetChecked(true);
  EXPECT_EQ(SendMessageA(H(form.watch), BM_GETCHECK, 0, 0), BST_CHECKED);
  form.watch.SetChecked(false);
  EXPECT_EQ(SendMessageA(H(form.watch), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  HWND list = H(form.list);
  form.list.AddItem("ctfmon");
  form.list.AddItem("Veltrane");
  form.list.AddItem("ctfmon");
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  char item[64] = {};
  SendMessageA(list, LB_GETTEXT, 2, LPARAM(item));
  EXPECT_STREQ(item, "ctfmon");  // in order, duplicates kept: no sorting
  form.list.SetItemIndex(1);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
  form.list.Clear();
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);

  form.progress.SetMax(200);
  form.progress.SetPosition(150);
  EXPECT_EQ(SendMessageA(H(form.progress), PBM_GETPOS, 0, 0), 150);
  EXPECT_EQ(SendMessageA(H(form.progress), PBM_GETRANGE, FALSE, 0), 200);

  EXPECT_TRUE(IsWindowVisible(H(form.page1)));
  EXPECT_FALSE(IsWindowVisible(H(form.page2)));
  form.book.ShowPage(form.page2);
  EXPECT_FALSE(IsWindowVisible(H(form.page1)));
  EXPECT_TRUE(IsWindowVisible(H(form.page2)));

  form.ok.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(H(form.ok)));
  form.status.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(H(form.status)));
  form.SetCaption("Veltrane - 2 new entries");
  EXPECT_EQ(TextOf(H(form)), "Veltrane - 2 new entries");
  form.ok.SetBounds(200, 100, 60, 20);
  RECT r;
  GetWindowRect(H(form.ok), &r);
  EXPECT_EQ(r.right - r.left, 60);

  // A control made after the form's window gets its own at once.
  Label late(&form.body, "late");
  ASSERT_TRUE(IsWindow(H(late)));
  EXPECT_EQ(GetParent(H(late)), H(form.body));
  EXPECT_EQ(NameOf(H(late)), "late");
}

// What cannot be seen, a page not shown or a control below the bottom of
// its form, gets its windows when it can be, or when every window is asked
// for; what the model holds meanwhile is in them.
TEST_F(Win32Toolkit, WindowsOfWhatCannotBeSeenWaitUntilItCanBe) {
  Form other("other", "Tvelother");
  other.SetClientSize(200, 100);
  PageBook book(&other, "book");
  book.SetBounds(0, 0, 200, 100);
  Page first(&book, "first"), second(&book, "second"), third(&book, "third");
  Label on_second(&second, "on_second"), on_third(&third, "on_third");
  on_second.SetCaption("two");
  on_third.SetCaption("three");
  Button below(&other, "below");
  below.SetBounds(0, 100, 80, 20);
  below.SetCaption("below");
  other.Show();
  EXPECT_TRUE(IsWindowVisible(H(first)));
  EXPECT_FALSE(H(second));
  EXPECT_FALSE(H(below));

  book.ShowPage(second);
  ASSERT_TRUE(IsWindowVisible(H(on_second)));
  EXPECT_EQ(TextOf(H(on_second)), "two");
  EXPECT_FALSE(IsWindowVisible(H(first)));
  other.SetClientSize(200, 101);
  ASSERT_TRUE(IsWindowVisible(H(below)));
  EXPECT_EQ(TextOf(H(below)), "below");

  EXPECT_FALSE(H(on_third));
  other.CreateWaitingHandles();
  ASSERT_TRUE(IsWindow(H(on_third)));
  EXPECT_EQ(TextOf(H(on_third)), "three");
  EXPECT_FALSE(IsWindowVisible(H(on_third)));
}

TEST_F(Win32Toolkit, FontsAreMadeOncePerValueAndFollowTheParents) {
  auto font_of = [&](const Control& c) { return HFONT(SendMessageA(H(c), WM_GETFONT, 0, 0)); };
  EXPECT_EQ(font_of(form.list), font_of(form.ok));  // both the form's
  LOGFONTA lf{};
  ASSERT_TRUE(GetObjectA(font_of(form.title), sizeof lf, &lf));
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(lf.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_STREQ(lf.lfFaceName, "Tahoma");

  HFONT before = font_of(form.list);
  form.SetFont(Font{"Tahoma", 10});
  EXPECT_NE(font_of(form.list), before);
  EXPECT_EQ(font_of(form.list), font_of(form.ok));
  ASSERT_TRUE(GetObjectA(font_of(form.title), sizeof lf, &lf));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);  // its own font stays
}

TEST_F(Win32Toolkit, LabelsAndCheckBoxesShowTheColourOfWhatTheyLieOn) {
  form.Show();
  HDC dc = CreateCompatibleDC(nullptr);
  auto colours = [&](const Control& c, UINT msg) {
    auto brush = HBRUSH(SendMessageA(GetParent(H(c)), msg, WPARAM(dc), LPARAM(H(c))));
    LOGBRUSH lb{};
    GetObjectA(brush, sizeof lb, &lb);
    return lb.lbColor;
  };
  const COLORREF cream = RGB(255, 248, 220);
  EXPECT_EQ(colours(form.title, WM_CTLCOLORSTATIC), cream);
  EXPECT_EQ(GetBkColor(dc), cream);
  EXPECT_EQ(GetTextColor(dc), RGB(0x80, 0, 0));
  EXPECT_EQ(colours(form.watch, WM_CTLCOLORSTATIC), cream);
  EXPECT_EQ(colours(form.on_page1, WM_CTLCOLORSTATIC), RGB(200, 230, 200));
  EXPECT_EQ(colours(form.status, WM_CTLCOLORSTATIC), RGB(255, 255, 255));  // its own
  EXPECT_EQ(colours(form.list, WM_CTLCOLORLISTBOX), GetSysColor(COLOR_WINDOW));
  DeleteDC(dc);

  // On screen: the label's empty part is the panel's colour.
  UpdateWindow(H(form));
  RedrawWindow(H(form), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC window_dc = GetDC(H(form.title));
  EXPECT_EQ(GetPixel(window_dc, form.title.Width() - 2, form.title.Height() - 2), cream);
  ReleaseDC(H(form.title), window_dc);
  HDC panel_dc = GetDC(H(form.header));
  EXPECT_EQ(GetPixel(panel_dc, 2, 2), RGB(0x1F, 0x3F, 0x7F));
  ReleaseDC(H(form.header), panel_dc);
}

// The mouse as each kind of window hears it: a click is a press and a
// release over the control.
TEST_F(Win32Toolkit, MouseMessagesReachTheModelsHandlers) {
  form.Show();
  // A disabled control runs nothing, whatever message reaches it.
  form.ok.SetEnabled(false);
  SendMessageA(H(form.body), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(H(form.ok)), BN_CLICKED), LPARAM(H(form.ok)));
  EXPECT_EQ(form.clicks, 0);

  std::vector<std::string> seen;
  form.watch.OnClick = [&] { seen.push_back(form.watch.Checked() ? "click:on" : "click:off"); };
  form.watch.OnMouseUp = [&](MouseButton, int, int) { seen.push_back("up"); };
  // Pressed on the box and released elsewhere: neither a toggle nor a release over it.
  SendMessageA(H(form.watch), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(H(form.watch), WM_LBUTTONUP, 0, MAKELPARAM(900, 3));
  EXPECT_FALSE(form.watch.Checked());
  EXPECT_TRUE(seen.empty());
  SendMessageA(H(form.watch), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(H(form.watch), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(form.watch.Checked());
  EXPECT_EQ(SendMessageA(H(form.watch), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(seen, (std::vector<std::string>{"click:on", "up"}));

  // The system's own controls report the mouse moving over them too.
  std::vector<std::string> moved;
  for (Control* c : std::initializer_list<Control*>{&form.ok, &form.watch, &form.list, &form.progress}) {
    c->OnMouseMove = [c, &moved](int x, int y) { moved.push_back(c->Name() + " " + std::to_string(x)); };
    SendMessageA(H(*c), WM_MOUSEMOVE, 0, MAKELPARAM(4, 2));
  }
  EXPECT_EQ(moved, (std::vector<std::string>{"ok 4", "watch 4", "list 4", "progress 4"}));

  // A painted panel: a press and release on it is a click; moving reports where.
  std::vector<std::string> panel;
  form.header.OnClick = [&] { panel.push_back("click"); };
  form.header.OnMouseUp = [&](MouseButton b, int x, int y) {
    panel.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  };
  form.header.OnMouseMove = [&](int x, int y) { panel.push_back("move " + std::to_string(x) + "," + std::to_string(y)); };
  HWND header = H(form.header);
  SendMessageA(header, WM_MOUSEMOVE, 0, MAKELPARAM(7, 8));
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
  SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(5, 6));
  // Released outside after a press: no click.
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
  SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(900, 6));
  EXPECT_EQ(panel, (std::vector<std::string>{"move 7,8", "click", "up 5,6", "up 900,6"}));

  int form_moves = 0;
  form.OnMouseMove = [&](int x, int y) { form_moves += x == 3 && y == 4; };
  SendMessageA(H(form), WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
  EXPECT_EQ(form_moves, 1);

  // A label takes the mouse for itself, with handlers or without: what it
  // lies on never hears of a move over it.
  int label_clicks = 0;
  EXPECT_EQ(SendMessageA(H(form.title), WM_NCHITTEST, 0, 0), HTCLIENT);
  form.title.OnClick = [&] { label_clicks++; };
  EXPECT_EQ(SendMessageA(H(form.title), WM_NCHITTEST, 0, 0), HTCLIENT);
  SendMessageA(H(form.title), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(H(form.title), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(label_clicks, 1);
}

TEST_F(Win32Toolkit, KeysMoveBetweenControlsAndPressThem) {
  form.Show();
  SetForegroundWindow(H(form));
  SetFocus(H(form.list));
  auto key = [&](WPARAM vk) {
    HWND focus = GetFocus();
    PostMessageA(focus, WM_KEYDOWN, vk, 1);
    PostMessageA(focus, WM_KEYUP, vk, 0xC0000001);
    app.ProcessMessages();
  };
  key(VK_TAB);
  EXPECT_EQ(GetFocus(), H(form.watch));
  // The space bar toggles and clicks; no mouse button was released.
  int box_clicks = 0, box_ups = 0;
  form.watch.OnClick = [&] { box_clicks++; };
  form.watch.OnMouseUp = [&](MouseButton, int, int) { box_ups++; };
  key(VK_SPACE);
  EXPECT_TRUE(form.watch.Checked());
  EXPECT_EQ(box_clicks, 1);
  EXPECT_EQ(box_ups, 0);
  key(VK_TAB);
  EXPECT_EQ(GetFocus(), H(form.ok));
  key(VK_SPACE);
  EXPECT_EQ(form.clicks, 1);
}

// What other programs send to the hidden application window: a message
// registered by name runs its listeners; WM_CLOSE closes the main form,
// which ends the program.
TEST_F(Win32Toolkit, TheApplicationWindowAnswersOtherPrograms) {
  form.Show();
  int exits = 0;
  backend.ListenForMessage("VeltraneTestExit", [&] { ++exits; });
  const UINT exit = RegisterWindowMessageW(L"VeltraneTestExit");
  ASSERT_EQ(backend.RegisterMessage("VeltraneTestExit"), exit);
  std::thread([&] { PostMessageW(FindWindowW(L"TApplication", L"Veltrane Test"), exit, 0, 0); }).join();
  EXPECT_TRUE(PumpUntil([&] { return exits == 1; }));

  // Sent, a message is a question: answered at once, and nothing runs.
  backend.ListenForMessage("VeltraneTestExit", [&] { ++exits; }, Rights::Same, 0x5654);
  std::atomic<bool> sent{false};
  DWORD_PTR answer = 0;
  std::thread asker([&] {
    SendMessageTimeoutW(backend.AppWindow(), exit, 0, 0, SMTO_NORMAL, 5000, &answer);
    sent = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return sent.load(); }));
  asker.join();
  EXPECT_EQ(answer, 0x5654u);
  EXPECT_EQ(exits, 1);

  int closes = 0;
  form.OnClose = [&](CloseAction&) { ++closes; };
  PostMessageW(backend.AppWindow(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return app.Terminated(); }));
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(backend.AppWindow()));
}

TEST_F(Win32Toolkit, DestroyedFormTakesItsWindowsAndNamesAlong) {
  HWND window, button;
  {
    Form gone("vanishing_form", "Tvelother");
    Button inside(&gone, "vanishing_button");
    gone.Show();
    window = H(gone);
    button = H(inside);
    ASSERT_NE(GlobalFindAtomA("vanishing_form"), 0);
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(GlobalFindAtomA("vanishing_form"), 0);
  EXPECT_EQ(GlobalFindAtomA("vanishing_button"), 0);
  EXPECT_NE(GlobalFindAtomA("velmain"), 0);  // the living form's stays
}

// A box waits for the user; meanwhile every window of the program waits
// too, timers tick on, calls queued by workers run, and the timer whose
// handler put the box up is not entered again until it is answered.
TEST_F(Win32Toolkit, WhileABoxWaitsTheWindowsWaitTooAndTimersAndQueuedCallsRunOn) {
  form.Show();
  Dialog other;  // shown last: the active form, which owns the box
  other.Show();
  std::atomic<int> entries{0}, ticks{0};
  Timer failing("failing", 5, true);
  failing.SetOnTimer([&] {
    if (++entries == 1) throw Error("Unable to write to C:\\Windows\\veltrane.vlt");
  });
  Timer ticker("ticker", 5, true);
  ticker.SetOnTimer([&] { ticks++; });
  std::string text;
  bool form_disabled = false, other_disabled = false;
  int entries_while_box = -1;
  std::thread::id queued_on;
  std::atomic<bool> queued_ran{false};
  std::thread user([&] {
    HWND box = FindBox("Veltrane Test");  // captioned with the title
    if (!box) return;
    text = BoxText(box);
    form_disabled = !IsWindowEnabled(H(form));
    other_disabled = !IsWindowEnabled(H(other));
    WaitFor([&] { return ticks >= 10; });
    app.Queue([&] {
      queued_on = std::this_thread::get_id();
      queued_ran = true;
    });
    WaitFor([&] { return bool(queued_ran); });
    entries_while_box = entries;
    Press(box, IDOK);
    WaitFor([&] { return entries >= 2; });  // ticking again once answered
    PostMessageW(H(form), WM_CLOSE, 0, 0);
  });
  app.Run();
  user.join();
  EXPECT_EQ(text, "Unable to write to C:\\Windows\\veltrane.vlt");
  EXPECT_TRUE(form_disabled);
  EXPECT_TRUE(other_disabled);
  EXPECT_GE(ticks, 10);
  EXPECT_TRUE(queued_ran);
  EXPECT_EQ(queued_on, std::this_thread::get_id());
  EXPECT_EQ(entries_while_box, 1);
  EXPECT_GE(entries, 2);
  EXPECT_TRUE(IsWindowEnabled(H(form)));
  EXPECT_TRUE(IsWindowEnabled(H(other)));
}

namespace {
class FailingPanel : public Panel {
 public:
  using Panel::Panel;
  void Paint(Canvas& canvas) override {
    paints++;
    throw Error("Cannot paint.");
  }
  int paints = 0;
};
}  // namespace

TEST_F(Win32Toolkit, PanelWhosePaintFailsShowsOneBoxNotOneForEveryRepaint) {
  FailingPanel panel(&form, "failing");
  panel.SetBounds(300, 200, 100, 50);
  form.Show();
  std::atomic<bool> stop{false};
  std::atomic<int> boxes{0};
  std::thread user([&] {
    while (!stop) {
      HWND box = FindWindowA("#32770", "Veltrane Test");
      if (box && IsWindowVisible(box)) {
        boxes++;
        Press(box, IDOK);
        WaitFor([&] { return !IsWindow(box); });
      }
      Sleep(5);
    }
  });
  UpdateWindow(H(panel));  // fails: a box, answered by the user
  EXPECT_EQ(boxes, 1);
  InvalidateRect(H(panel), nullptr, FALSE);
  UpdateWindow(H(panel));
  EXPECT_EQ(panel.paints, 1);
  panel.Repaint();  // the program changed something: painting is tried again
  UpdateWindow(H(panel));
  EXPECT_EQ(panel.paints, 2);
  EXPECT_EQ(boxes, 2);
  stop = true;
  user.join();
}

// While a modal form is up the program's other windows take no input; when
// it ends they do again and the activation goes back to the one it
// interrupted.
TEST_F(Win32Toolkit, AModalFormDisablesTheOtherWindowsAndGivesTheActivationBack) {
  form.Show();
  Dialog dialog;
  bool main_disabled = false;
  dialog.OnActivate = [&] {
    main_disabled = !IsWindowEnabled(H(form));
    PostMessageW(H(dialog.yes), BM_CLICK, 0, 0);
  };
  EXPECT_EQ(dialog.ShowModal(), ModalResult::Yes);
  EXPECT_TRUE(main_disabled);
  EXPECT_TRUE(IsWindowEnabled(H(form)));
  EXPECT_FALSE(IsWindowVisible(H(dialog)));
  EXPECT_EQ(GetActiveWindow(), H(form));
}

TEST_F(Win32Toolkit, PopupMenuRunsTheChosenItemsHandler) {
  form.Show();
  std::vector<std::string> chosen;
  PopupMenu menu("tray");
  menu.Add("open", "Open Veltrane", [&] { chosen.push_back("open"); }).is_default = true;
  menu.Add("sep", "-", nullptr);
  menu.Add("exit", "Exit", [&] { chosen.push_back("exit"); });
  int items = 0, default_id = -1;
  UINT separator_type = 0;
  std::thread user([&] {
    HWND popup = nullptr;
    if (!WaitFor([&] { return (popup = FindWindowA("#32768", nullptr)) && IsWindowVisible(popup); })) return;
    auto handle = HMENU(SendMessageA(popup, MN_GETHMENU, 0, 0));
    items = GetMenuItemCount(handle);
    default_id = int(GetMenuDefaultItem(handle, FALSE, 0));
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(handle, 1, TRUE, &info);
    separator_type = info.fType;
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageA(popup, WM_KEYDOWN, key, 0);
  });
  menu.Popup(100, 100);
  user.join();
  EXPECT_EQ(items, 3);
  EXPECT_EQ(default_id, 1);
  EXPECT_TRUE(separator_type & MFT_SEPARATOR);
  EXPECT_EQ(chosen, std::vector<std::string>{"exit"});
}

TEST(Win32ToolkitCanvas, DrawsOnADeviceContextAndLeavesItAsFound) {
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 120, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  HGDIOBJ old_font = GetCurrentObject(dc, OBJ_FONT);
  GdiObjects gdi;
  {
    GdiCanvas canvas(dc, gdi);
    EXPECT_EQ(canvas.SystemColor(SysColor::ButtonFace), FromColorRef(GetSysColor(COLOR_BTNFACE)));
    canvas.FillRect(Rect{0, 0, 120, 40}, Rgb(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 0, 0));
    canvas.Line(0, 10, 50, 10, Rgb(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 0, 10), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 49, 10), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 50, 10), RGB(255, 0, 0));  // the end point is not drawn

    canvas.SetFont(Font{"Tahoma", 10, false, Rgb(0, 255, 0)});
    Rect plain{0, 0, 0, 0};
    int height = canvas.DrawText("Autostart", plain, kDtCalcRect | kDtSingleLine);
    EXPECT_GT(plain.Width(), 20);
    EXPECT_EQ(plain.Height(), height);

    // Measuring drew nothing; drawing is transparent, in the font's colour.
    Rect where{0, 20, 120, 40};
    canvas.DrawText("MMMM", where, kDtLeft | kDtSingleLine);
    int green = 0;
    for (int y = 20; y < 40; ++y)
      for (int x = 0; x < 120; ++x) green += GetPixel(dc, x, y) == RGB(0, 255, 0);
    EXPECT_GT(green, 10);
    EXPECT_EQ(GetPixel(dc, 119, 39), RGB(255, 0, 0));
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), old_font);
  EXPECT_EQ(GetBkMode(dc), OPAQUE);

  // A list of faces stands for its first installed one, else its first.
  EXPECT_EQ(FaceFor(Font{"No Such Face Anywhere, Tahoma", 8}), "Tahoma");
  EXPECT_EQ(FaceFor(Font{"No Such Face Anywhere,Nor This One", 8}), "No Such Face Anywhere");
  EXPECT_EQ(FaceFor(Font{"Tahoma", 8}), "Tahoma");
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
}
