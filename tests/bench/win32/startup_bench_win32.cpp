// Start-up under Wine: from the launch of veltrane.exe until its status line
// shows the protection level at the end of start-up, less the registry
// doctor's fixed 2 s, against a minimal window program's launch to its
// visible window. Both are taken from this program's folder and started
// alternately, several times; prints both medians and their ratio (the goal
// is at most 1.2). Wall time: much of a start is done by Wine's other
// processes, and the machine may be shared.
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
  std::wstring name;  // empty: a visible top-level window of the process
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
  if (s.name.empty()) {
    if (IsWindowVisible(h)) s.found = h;
  } else {
    EnumChildWindows(h, FindNamedChild, search);
  }
  return !s.found;
}

HWND FindWindowOf(DWORD pid, const std::wstring& control_name) {
  Search search{pid, control_name};
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
// negative number when it did not in time. The process is ended afterwards.
double TimeStart(const std::wstring& exe, const std::function<bool(DWORD pid)>& started) {
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
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return took;
}

// Start-up sets the protection level before the doctor too: its end is the
// level shown again once the lists have been read.
double TimeVeltrane(const std::wstring& exe) {
  HWND status = nullptr;
  bool refreshed = false;
  return TimeStart(exe, [&](DWORD pid) {
    if (!status && !(status = FindWindowOf(pid, L"status"))) return false;
    const std::wstring text = TextOf(status);
    if (StartsWith(text, L"Refreshing lists")) refreshed = true;
    return refreshed && StartsWith(text, L"System Protection: ") && text.back() == L'%';
  });
}

double TimeMinimal(const std::wstring& exe) {
  return TimeStart(exe, [](DWORD pid) { return FindWindowOf(pid, L"") != nullptr; });
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
  const std::wstring veltrane = folder + L"veltrane.exe", minimal = folder + L"minimal_window.exe";
  // The first start of each reads its files from disk: not counted.
  std::vector<double> veltrane_times, minimal_times;
  for (int run = 0; run <= kRuns; ++run) {
    const double v = TimeVeltrane(veltrane), m = TimeMinimal(minimal);
    if (v < 0 || m < 0) {
      std::printf("startup: no result: %s did not finish its start within %.0f s\n",
                  v < 0 ? "veltrane.exe" : "minimal_window.exe", kRunLimitSeconds);
      return 1;
    }
    if (run == 0) continue;
    veltrane_times.push_back(v - kDoctorSeconds);
    minimal_times.push_back(m);
  }
  const double v = Median(veltrane_times), m = Median(minimal_times);
  std::printf("ratio start-up under Wine, veltrane.exe %.0f ms (less the doctor's %.0f ms) / a minimal window program "
              "%.0f ms, medians of %d: %.2f (goal <= 1.2)\n",
              v * 1000, kDoctorSeconds * 1000, m * 1000, kRuns, v / m);
  return 0;
}
