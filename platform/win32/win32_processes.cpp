#include "platform/win32/win32_processes.h"

#include "platform/win32/win32_handles.h"
// After <windows.h>, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace platform::win32 {
namespace {

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using GetModuleFileNameExWFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using QueryFullProcessImageNameWFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using CreateToolhelp32SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using Process32Fn = BOOL(WINAPI*)(HANDLE, tagPROCESSENTRY32W*);

struct Psapi {
  EnumProcessesFn enum_processes = nullptr;
  GetModuleFileNameExWFn module_file_name = nullptr;
};

struct ToolHelp {
  CreateToolhelp32SnapshotFn create_snapshot = nullptr;
  Process32Fn first = nullptr;
  Process32Fn next = nullptr;
};

// Bound once for the life of the process; a failure is remembered too, and
// the library stays loaded.
const Psapi* CheckPSAPILoaded() {
  static const Psapi api = [] {
    Psapi p;
    HMODULE module = LoadLibraryW(L"PSAPI.dll");
    // Values below 32 were error codes on old systems, never a module.
    if (reinterpret_cast<UINT_PTR>(module) < 32) return p;
    p.enum_processes = Bind<EnumProcessesFn>(module, "EnumProcesses");
    p.module_file_name = Bind<GetModuleFileNameExWFn>(module, "GetModuleFileNameExW");
    return p;
  }();
  return api.enum_processes && api.module_file_name ? &api : nullptr;
}

const ToolHelp* InitToolHelp() {
  static const ToolHelp api = [] {
    ToolHelp t;
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    t.create_snapshot = Bind<CreateToolhelp32SnapshotFn>(kernel, "CreateToolhelp32Snapshot");
    t.first = Bind<Process32Fn>(kernel, "Process32FirstW");
    t.next = Bind<Process32Fn>(kernel, "Process32NextW");
    return t;
  }();
  // Without the walk a snapshot would be of no use either.
  return api.create_snapshot && api.first && api.next ? &api : nullptr;
}

QueryFullProcessImageNameWFn QueryFullName() {
  static const auto fn =
      Bind<QueryFullProcessImageNameWFn>(GetModuleHandleW(L"kernel32.dll"),
                                         "QueryFullProcessImageNameW");
  return fn;
}

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

// The image path read on an open handle: the full-name query where the
// system has it, else the module name (which needs PROCESS_VM_READ).
std::optional<std::string> PathOf(HANDLE process) {
  if (auto query = QueryFullName()) {
    auto path = GrowingRead([&](wchar_t* buf, DWORD size) -> DWORD {
      DWORD len = size;
      if (query(process, 0, buf, &len)) return len;
      return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
    });
    if (path) return path;
  }
  const Psapi* api = CheckPSAPILoaded();
  if (!api) return std::nullopt;
  return GrowingRead([&](wchar_t* buf, DWORD size) { return api->module_file_name(process, nullptr, buf, size); });
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

// Rights to inspect a process before stopping it: the limited query right
// where the system knows it, else the older pair.
DWORD QueryRights() {
  return QueryFullName() ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
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
  const Psapi* api = CheckPSAPILoaded();
  // A million processes is beyond any real system; the cap keeps the byte
  // count within a DWORD whatever the caller asks for.
  size_t want = std::min<size_t>(max_count, 1u << 20);
  if (!api || want == 0) return result;
  // EnumProcesses cannot say how many there are: grow until some room is left.
  for (size_t n = std::min<size_t>(want, 1024);; n = std::min(n * 2, want)) {
    std::vector<DWORD> ids(n);
    DWORD bytes = 0;
    if (!api->enum_processes(ids.data(), DWORD(n * sizeof(DWORD)), &bytes)) return result;
    size_t got = std::min<size_t>(bytes / sizeof(DWORD), n);
    if (got < n || n == want) {
      result.assign(ids.begin(), ids.begin() + got);
      return result;
    }
  }
}

std::optional<std::string> Win32Processes::ImagePath(uint32_t pid) {
  if (pid == 0) return std::nullopt;
  if (QueryFullName()) {
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
  const ToolHelp* api = InitToolHelp();
  if (!api) return entries;
  Handle snap(api->create_snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return entries;
  tagPROCESSENTRY32W entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL ok = api->first(snap.get(), &entry); ok; ok = api->next(snap.get(), &entry)) {
    std::string name = Utf8(entry.szExeFile, wcsnlen(entry.szExeFile, std::size(entry.szExeFile)));
    // Windows 9x reports the full path here.
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    entries.push_back({entry.th32ProcessID, std::move(name)});
  }
  return entries;
}

StopResult Win32Processes::Stop(uint32_t pid, const std::function<bool(const std::string&)>& is_it) {
  StopResult result;
  if (pid == 0 || pid == GetCurrentProcessId()) return result;
  // One handle for looking and for stopping. The full query right, where
  // granted, also reads the critical mark.
  const DWORD rights = PROCESS_TERMINATE | SYNCHRONIZE | QueryRights();
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

}  // namespace platform::win32
