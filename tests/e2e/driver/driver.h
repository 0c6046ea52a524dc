// vdriver: drives a Win32 program from another process, one script line at a time.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vd {

// A command that did not hold. The script stops at the first one.
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
[[noreturn]] void fail(const std::string& reason);

// ---- text ----
std::string utf8(const std::wstring& s);
std::wstring wide(const std::string& s);
std::string quoted(const std::string& s);   // "..." with \" \\ \n \r \t escapes
std::string quoted(const std::wstring& s);
std::string lower(std::string s);
// Splits a script line into arguments: blanks separate, "..." groups,
// inside quotes \" \\ \n \t are escapes and any other backslash is literal.
std::vector<std::string> tokenize(const std::string& line);
bool parseInt(const std::string& s, long long& out);
long long intArg(const std::string& s, const char* what);
DWORD msArg(const std::vector<std::string>& a, size_t i, DWORD fallback);

// ---- time ----
// Polls f every 50 ms until it returns true or timeout_ms passed; f runs at least once.
bool pollUntil(DWORD timeout_ms, const std::function<bool()>& f);
constexpr DWORD kDefaultWait = 20000;
constexpr DWORD kMessageTimeout = 5000;  // a target silent this long counts as hung

// ---- processes ----
std::string imageOf(DWORD pid);      // lower-case base name, "" if gone
bool isTargetProcess(DWORD pid);     // not us, not Wine's own shell and services
void trackProcess(DWORD pid);        // keeps a handle so the exit code stays readable
struct Tracked {
  DWORD pid;
  std::string image;
  HANDLE handle;
};
std::vector<Tracked> trackedProcesses();
std::vector<DWORD> runningProcesses(const std::string& image);

// ---- windows ----
std::wstring classOf(HWND h);
std::wstring captionOf(HWND h);      // the window's stored text, never blocks
std::wstring textOf(HWND h);         // WM_GETTEXT, fails on a hung target
std::wstring controlNameOf(HWND h);  // "ControlName" property atom, "" if none
std::vector<HWND> targetTopLevels(); // target processes only, Z order, hidden ones too
std::vector<HWND> descendants(HWND h);
bool isMessageBox(HWND h);
HWND boxTextControl(HWND box);
std::vector<HWND> messageBoxes();    // visible, topmost first
std::vector<HWND> windowsWithCaption(const std::wstring& caption);  // visible, not boxes
// Visible top-level windows of Explorer (explorer.exe), which is never a
// target: those with the caption, or all.
std::vector<HWND> explorerWindows(const std::optional<std::wstring>& caption);
HWND windowByCaption(const std::string& caption);                  // exactly one or Failure
// Resolves a control reference: ControlName, caption:<text>, class:<name>, id:<n>,
// joined with '>' to search inside the previous match. Failure if none or ambiguous.
HWND resolve(const std::string& ref);
bool tryResolve(const std::string& ref, HWND& out, std::string& why);
std::string describe(HWND h);

LRESULT query(HWND h, UINT msg, WPARAM w = 0, LPARAM l = 0);  // SendMessageTimeout or Failure
// Delivers a user action so that its handler runs in the target, then waits until
// that thread has finished the handler or sits in a modal loop.
void act(HWND h, UINT msg, WPARAM w, LPARAM l);
void settleThread(DWORD tid);
void requireUsable(HWND h, const std::string& ref);

// ---- script ----
using Out = std::vector<std::string>;
struct Command {
  const char* name;
  int min_args;
  int max_args;  // -1: any number
  const char* usage;
  std::function<void(const std::vector<std::string>&, Out&)> run;
};
const std::vector<Command>& commands();
const Command* findCommand(const std::string& name);
void runCommand(const std::vector<std::string>& words, Out& out);
std::string checkArity(const std::vector<std::string>& words);

extern std::wstring g_desktop;  // desktop of the target, "" for our own
extern std::wstring g_self_dir; // folder of vdriver.exe, where `start` looks first

}  // namespace vd
