// Start-up under Wine: from the launch of veltrane.exe until, after the
// registry doctor has closed, its status line shows the protection level at
// the end of start-up and its main window answers a message sent to it;
// less the doctor's fixed 2 s. Against it, a peer program (startup_peer.exe)
// that comes up as any program of Veltrane's kind does, with the same
// controls and a second window like the doctor, from its launch until that
// second window shows. Both are taken from this program's folder and
// started alternately, several times; prints both medians and their ratio
// (the goal is at most 1.2), and how long the main window kept a sent
// message waiting from the end of start-up into the seconds after it, when
// the Task Scheduler is asked (its first answer of a session takes about a
// second under Wine: the first start counts here). Wall time: much of a
// start is done by Wine's other processes, and the machine may be shared.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_system.h"
#include "registry/data_files.h"

namespace {

constexpr int kRuns = 7;
constexpr double kDoctorSeconds = 2.0;
constexpr double kRunLimitSeconds = 30.0;
// Long enough for the Task Scheduler's first answer of a session (about 1 s
// under Wine), which the window must not wait for.
constexpr double kWatchSeconds = 2.5;
// Often enough for the tenths of a second measured, rarely enough not to
// keep the program that answers busy.
constexpr DWORD kPollMs = 2;

double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return double(count.QuadPart) / double(frequency.QuadPart);
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// The end-to-end driver's way of naming controls: the ControlName window
// property holds a global atom.
std::wstring ControlName(HWND h) {
  const auto atom = ATOM(UINT_PTR(GetPropW(h, L"ControlName")));
  wchar_t name[64];
  const UINT n = atom ? GlobalGetAtomNameW(atom, name, 64) : 0;
  return std::wstring(name, n);
}

struct Search {
  DWORD pid;
  std::wstring name;  // empty: any visible top-level window of the process
  bool top_level;     // a top-level window of that name, else a child window
  HWND found = nullptr;
};

BOOL CALLBACK FindNamedChild(HWND h, LPARAM search) {
  auto& s = *reinterpret_cast<Search*>(search);
  if (ControlName(h) == s.name) s.found = h;
  return !s.found;
}

BOOL CALLBACK FindInTopLevel(HWND h, LPARAM search) {
  auto& s = *reinterpret_cast<Search*>(search);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != s.pid) return TRUE;
  if (s.top_level) {
    if (IsWindowVisible(h) && (s.name.empty() || ControlName(h) == s.name)) s.found = h;
  } else {
    EnumChildWindows(h, FindNamedChild, search);
  }
  return !s.found;
}

// A control of the process by its name.
HWND FindWindowOf(DWORD pid, const std::wstring& control_name) {
  Search search{pid, control_name, false};
  EnumWindows(FindInTopLevel, LPARAM(&search));
  return search.found;
}

// A visible form of the process by its name.
HWND FindFormOf(DWORD pid, const std::wstring& form_name) {
  Search search{pid, form_name, true};
  EnumWindows(FindInTopLevel, LPARAM(&search));
  return search.found;
}

std::wstring TextOf(HWND h) {
  wchar_t text[128];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, 128, LPARAM(text), SMTO_ABORTIFHUNG, 5000, &length)) return {};
  return std::wstring(text, std::min<DWORD_PTR>(length, 127));
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

// Seconds from the launch until `started` holds for the process, or a
// negative number when it did not in time. Then `afterwards` runs, and the
// process is ended.
double TimeStart(const std::wstring& exe, const std::function<bool(DWORD pid)>& started,
                 const std::function<void(DWORD pid)>& afterwards = {}) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + exe + L"\"";
  const double launched = Now();
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  double took = -1;
  while (Now() - launched < kRunLimitSeconds) {
    if (started(pi.dwProcessId)) {
      took = Now() - launched;
      break;
    }
    if (WaitForSingleObject(pi.hProcess, kPollMs) == WAIT_OBJECT_0) break;
  }
  if (took >= 0 && afterwards) afterwards(pi.dwProcessId);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return took;
}

// Milliseconds the window took to answer WM_GETTEXT; 5000 when it did not.
double AnswerMs(HWND h) {
  wchar_t text[128];
  DWORD_PTR length = 0;
  const double sent = Now();
  if (!SendMessageTimeoutW(h, WM_GETTEXT, 128, LPARAM(text), SMTO_ABORTIFHUNG, 5000, &length)) return 5000;
  return (Now() - sent) * 1000;
}

struct VeltraneStart {
  double seconds = -1;
  // For an answer of the main window, from the end of start-up on.
  double longest_wait_ms = 0;
};

// Start-up sets the protection level before the doctor too: its end is the
// level shown again once the doctor has closed and the lists have been read.
VeltraneStart TimeVeltrane(const std::wstring& exe) {
  HWND status = nullptr, main = nullptr;
  bool doctor_seen = false, doctor_closed = false, refreshed = false;
  VeltraneStart start;
  start.seconds = TimeStart(
      exe,
      [&](DWORD pid) {
        if (!main && !(main = FindFormOf(pid, L"velmain"))) return false;
        if (!status && !(status = FindWindowOf(pid, L"status"))) return false;
        if (!doctor_closed) {
          const bool open = FindFormOf(pid, L"doktor") != nullptr;
          doctor_seen |= open;
          doctor_closed = doctor_seen && !open;
          if (!doctor_closed) return false;
        }
        const std::wstring text = TextOf(status);
        if (StartsWith(text, L"Refreshing lists")) refreshed = true;
        if (!refreshed || !StartsWith(text, L"System Protection: ") || text.back() != L'%') return false;
        const double wait = AnswerMs(main);
        start.longest_wait_ms = std::max(start.longest_wait_ms, wait);
        return wait < 5000;
      },
      [&](DWORD) {
        // The window is asked again and again, as a person's clicks would.
        for (const double from = Now(); Now() - from < kWatchSeconds;) {
          start.longest_wait_ms = std::max(start.longest_wait_ms, AnswerMs(main));
          Sleep(kPollMs);
        }
      });
  return start;
}

// Until its second window, the doctor's, shows.
double TimePeer(const std::wstring& exe) {
  return TimeStart(exe, [](DWORD pid) { return FindFormOf(pid, L"doktor") != nullptr; });
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  // A configured user: no first-start questions.
  platform::win32::Win32Files files;
  const std::string config = registry::ConfigPath(platform::win32::Win32Processes().WindowsFolder(),
                                                  platform::win32::Win32System().UserName().value_or(""));
  if (!files.Exists(config)) files.Replace(config, "[glowna]\r\nskonfigurowany=1\r\n");

  const std::wstring folder = OwnFolder();
  const std::wstring veltrane = folder + L"veltrane.exe", peer = folder + L"startup_peer.exe";
  // The first start of each reads its files from disk: not counted.
  std::vector<double> veltrane_times, peer_times;
  double longest_wait_ms = 0;
  for (int run = 0; run <= kRuns; ++run) {
    const VeltraneStart v = TimeVeltrane(veltrane);
    const double p = TimePeer(peer);
    if (v.seconds < 0 || p < 0) {
      std::printf("startup: no result: %s did not finish its start within %.0f s\n",
                  v.seconds < 0 ? "veltrane.exe" : "startup_peer.exe", kRunLimitSeconds);
      return 1;
    }
    longest_wait_ms = std::max(longest_wait_ms, v.longest_wait_ms);
    if (run == 0) continue;
    veltrane_times.push_back(v.seconds - kDoctorSeconds);
    peer_times.push_back(p);
  }
  const double v = Median(veltrane_times), p = Median(peer_times);
  std::printf("ratio start-up under Wine, veltrane.exe %.0f ms (less the doctor's %.0f ms) / a peer program with "
              "its controls and a second window %.0f ms, medians of %d: %.2f (goal <= 1.2); from the end of start-up "
              "on the main window kept a sent message waiting at most %.0f ms\n",
              v * 1000, kDoctorSeconds * 1000, p * 1000, kRuns, v / p, longest_wait_ms);
  return 0;
}
