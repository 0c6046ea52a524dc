#include "platform/win32/win32_processes.h"

#include "platform/win32/win32_handles.h"
// After <windows.h>, which they need.
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace platform::win32 {
namespace {

constexpr DWORD kTerminateWaitMs = 5000;
// How long one WaitForEnd blocks at most when no message comes.
constexpr DWORD kWaitSliceMs = 100;
constexpr DWORD kFirstPathBuffer = MAX_PATH + 1;
constexpr DWORD kLongestPath = 32768;

// Tries ever larger buffers: `call` returns the length written, 0 on
// failure, and a length that fills the buffer means it was cut short.
template <typename Call>
std::optional<std::string> GrowingRead(Call call) {
  for (DWORD size = kFirstPathBuffer; size <= kLongestPath; size *= 2) {
    std::wstring buf(size, L'\0');
    DWORD len = call(buf.data(), size);
    if (len == 0) return std::nullopt;
    if (len < size - 1) return Utf8(buf.data(), len);
  }
  return std::nullopt;
}

// The image path read on an open handle: the full-name query, else the
// module name (which needs PROCESS_VM_READ).
std::optional<std::string> PathOf(HANDLE process) {
  auto path = GrowingRead([&](wchar_t* buf, DWORD size) -> DWORD {
    DWORD len = size;
    if (QueryFullProcessImageNameW(process, 0, buf, &len)) return len;
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
  });
  if (path) return path;
  return GrowingRead([&](wchar_t* buf, DWORD size) { return GetModuleFileNameExW(process, nullptr, buf, size); });
}

// ProcessBreakOnTermination: Windows stops with a blue screen when such a
// process ends.
using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kProcessBreakOnTermination = 29;

bool MarkedCritical(HANDLE process) {
  static const auto query =
      Bind<NtQueryInformationProcessFn>(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
  ULONG critical = 0;
  return query && query(process, kProcessBreakOnTermination, &critical, sizeof critical, nullptr) >= 0 &&
         critical != 0;
}

class Win32Stopped : public StoppedProcess {
 public:
  explicit Win32Stopped(Handle process) : process_(std::move(process)), since_(GetTickCount()) {}

  State WaitForEnd() override {
    HANDLE h = process_.get();
    // Returns early for window messages, so that the caller's window stays usable.
    DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, kWaitSliceMs, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return State::Ended;
    if (r == WAIT_FAILED) return State::GaveUp;
    return GetTickCount() - since_ >= kTerminateWaitMs ? State::GaveUp : State::Pending;
  }

 private:
  Handle process_;
  DWORD since_;
};

}  // namespace

std::vector<uint32_t> Win32Processes::EnumerateIds(size_t max_count) {
  std::vector<uint32_t> result;
  // A million processes is beyond any real system; the cap keeps the byte
  // count within a DWORD whatever the caller asks for.
  size_t want = std::min<size_t>(max_count, 1u << 20);
  if (want == 0) return result;
  // EnumProcesses cannot say how many there are: grow until some room is left.
  for (size_t n = std::min<size_t>(want, 1024);; n = std::min(n * 2, want)) {
    std::vector<DWORD> ids(n);
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), DWORD(n * sizeof(DWORD)), &bytes)) return result;
    size_t got = std::min<size_t>(bytes / sizeof(DWORD), n);
    if (got < n || n == want) {
      result.assign(ids.begin(), ids.begin() + got);
      return result;
    }
  }
}

std::optional<std::string> Win32Processes::ImagePath(uint32_t pid) {
  if (pid == 0) return std::nullopt;
  {
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (process) {
      if (auto path = PathOf(process.get())) return path;
    }
  }
  Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return std::nullopt;
  return PathOf(process.get());
}

std::vector<ProcessEntry> Win32Processes::Snapshot() {
  std::vector<ProcessEntry> entries;
  Handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return entries;
  PROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snap.get(), &entry); ok; ok = Process32NextW(snap.get(), &entry))
    entries.push_back({entry.th32ProcessID, Utf8(entry.szExeFile, wcsnlen(entry.szExeFile, std::size(entry.szExeFile)))});
  return entries;
}

StopResult Win32Processes::Stop(uint32_t pid, const std::function<bool(const std::string&)>& is_it) {
  StopResult result;
  if (pid == 0 || pid == GetCurrentProcessId()) return result;
  // One handle for looking and for stopping. The full query right, where
  // granted, also reads the critical mark.
  const DWORD rights = PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION;
  Handle process(OpenProcess(rights | PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process) process = Handle(OpenProcess(rights, FALSE, pid));
  if (!process) {
    // An id that names no process any more.
    if (GetLastError() == ERROR_INVALID_PARAMETER) result.status = StopStatus::NotIt;
    return result;
  }
  if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
    result.status = StopStatus::NotIt;  // ended meanwhile
    return result;
  }
  std::optional<std::string> path = PathOf(process.get());
  if (!path) return result;  // what cannot be looked at is not stopped
  if (!is_it(*path)) {
    result.status = StopStatus::NotIt;
    return result;
  }
  if (MarkedCritical(process.get())) {
    result.status = StopStatus::Critical;
    return result;
  }
  // TerminateProcess only starts the end; the caller waits for it.
  if (!TerminateProcess(process.get(), 0)) return result;
  result.status = StopStatus::Stopped;
  result.stopped = std::make_unique<Win32Stopped>(std::move(process));
  return result;
}

bool Win32Processes::IsCritical(uint32_t pid) {
  if (pid == 0) return false;
  Handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
  return process && MarkedCritical(process.get());
}

std::string Win32Processes::WindowsFolder() {
  wchar_t buf[MAX_PATH + 1];
  UINT len = GetSystemWindowsDirectoryW(buf, UINT(std::size(buf)));
  if (len == 0 || len >= std::size(buf)) return "C:\\Windows";
  std::string folder = Utf8(buf, len);
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string Win32Processes::SystemFolder() {
  wchar_t buf[MAX_PATH + 1];
  UINT len = GetSystemDirectoryW(buf, UINT(std::size(buf)));
  if (len == 0 || len >= std::size(buf)) return WindowsFolder() + "\\system32";
  std::string folder = Utf8(buf, len);
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool Win32Processes::Is64BitWindows() {
  if (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace platform::win32
