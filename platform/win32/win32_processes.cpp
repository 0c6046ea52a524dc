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
  if (auto query = QueryFullName()) {
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (process) {
      auto path = GrowingRead([&](wchar_t* buf, DWORD size) -> DWORD {
        DWORD len = size;
        if (query(process.get(), 0, buf, &len)) return len;
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
      });
      if (path) return path;
    }
  }
  const Psapi* api = CheckPSAPILoaded();
  if (!api) return std::nullopt;
  Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return std::nullopt;
  return GrowingRead([&](wchar_t* buf, DWORD size) {
    return api->module_file_name(process.get(), nullptr, buf, size);
  });
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

bool Win32Processes::Terminate(uint32_t pid) {
  if (pid == 0 || pid == GetCurrentProcessId()) return false;
  // TerminateProcess only starts the end: until the process is gone its exe
  // cannot be moved and a new list would still show it, so wait a little.
  Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  bool can_wait = bool(process);
  if (!process) process = Handle(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  if (!process || !TerminateProcess(process.get(), 0)) return false;
  if (can_wait) WaitForSingleObject(process.get(), kTerminateWaitMs);
  return true;
}

}  // namespace platform::win32
