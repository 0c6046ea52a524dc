// The tray icon's window, the registry monitor and the single-instance
// guard on real Windows: real registry notifications, real threads and
// handles, real windows and mutexes.
#include <windows.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include "components/zel_oneinstance.h"
#include "components/zel_registry_monitor.h"
#include "components/zel_trayicon.h"
#include "platform/win32/win32_platform.h"
#include "toolkit/application.h"
#include "toolkit/win32/win32_backend.h"

namespace {

constexpr const wchar_t* kTestKey = L"Software\\VeltraneTest\\Monitor";

// Threads of this process, from a Toolhelp snapshot.
int ThreadCount() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 e{};
  e.dwSize = sizeof e;
  int n = 0;
  for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
    if (e.th32OwnerProcessID == GetCurrentProcessId()) ++n;
  CloseHandle(snap);
  return n;
}

// Handles of this process. GetProcessHandleCount answers 0 under Wine; the
// system's handle table does not.
int HandleCount() {
  struct Entry {
    USHORT pid, back_trace;
    UCHAR type, attributes;
    USHORT handle;
    PVOID object;
    ULONG access;
  };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  std::vector<char> buf(1 << 16);
  for (;;) {
    ULONG needed = 0;
    LONG status = query(16 /* SystemHandleInformation */, buf.data(), ULONG(buf.size()), &needed);
    if (status == LONG(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */) {
      buf.resize(std::max<size_t>(buf.size() * 2, needed + 4096));
      continue;
    }
    if (status != 0) return -1;
    break;
  }
  ULONG count = *reinterpret_cast<ULONG*>(buf.data());
  auto* entries = reinterpret_cast<Entry*>(buf.data() + sizeof(ULONG_PTR));
  int n = 0;
  for (ULONG i = 0; i < count; ++i)
    if (entries[i].pid == USHORT(GetCurrentProcessId())) ++n;
  return n;
}

struct PresenceWin32 : ::testing::Test {
  tk::win32::Win32Backend backend;
  tk::Application app{backend};
  platform::win32::Win32Platform system;

  void SetUp() override {
    app.SetTitle("Veltrane Presence Test");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VeltraneTest");
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VeltraneTest"); }

  // Pumps the UI thread's messages until the condition holds (bounded).
  template <typename F>
  bool PumpUntil(F condition, DWORD ms = 15000) {
    DWORD start = GetTickCount();
    while (!condition()) {
      if (GetTickCount() - start > ms) return false;
      app.ProcessMessages();
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }
  void SetValue(const wchar_t* name, const wchar_t* data) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), DWORD((wcslen(data) + 1) * 2));
    RegCloseKey(key);
  }
  std::unique_ptr<components::TzelRegistryMonitor> Monitor(std::function<void()> handler) {
    auto m = std::make_unique<components::TzelRegistryMonitor>(system.View().registry);
    m->SetKeys({{platform::RootKey::CurrentUser, "Software\\VeltraneTest\\Monitor"}});
    m->SetOnChange(std::move(handler));
    m->SetActive(true);
    m->Loaded();
    return m;
  }
};

TEST_F(PresenceWin32, ARealRegistryWriteReachesTheHandlerOnTheUserInterfaceThread) {
  SetValue(L"seed", L"0");
  int reports = 0;
  DWORD handler_thread = 0;
  auto monitor = Monitor([&] {
    ++reports;
    handler_thread = GetCurrentThreadId();
  });
  // Written from another thread, as another program would.
  std::thread([this] { SetValue(L"\x041A\x043B\x044E\x0447", L"C:\\evil.exe"); }).join();
  ASSERT_TRUE(PumpUntil([&] { return reports > 0; }));
  EXPECT_EQ(handler_thread, GetCurrentThreadId());

  // Deleted and created again: both are reported, and the new key watched.
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VeltraneTest\\Monitor");
  ASSERT_TRUE(PumpUntil([&] { return reports > 1; }));
  SetValue(L"again", L"1");
  ASSERT_TRUE(PumpUntil([&] { return reports > 2; }));
  int seen = reports;
  SetValue(L"later", L"2");
  ASSERT_TRUE(PumpUntil([&] { return reports > seen; }));
}

TEST_F(PresenceWin32, StartingAndStoppingAThousandTimesLeavesNoThreadsOrHandles) {
  SetValue(L"seed", L"0");
  int reports = 0;
  auto monitor = Monitor([&] { ++reports; });
  // A few rounds first: the system starts helpers of its own on first use.
  for (int i = 0; i < 20; ++i) {
    monitor->StopMonitor();
    monitor->StartMonitor();
  }
  Sleep(200);
  app.ProcessMessages();
  const int threads = ThreadCount(), handles = HandleCount();
  ASSERT_GT(threads, 0);
  ASSERT_GT(handles, 0) << "the handle table could not be read";
  for (int i = 0; i < 1000; ++i) {
    monitor->StopMonitor();
    monitor->StartMonitor();
  }
  // Stopped workers end by themselves, at once. A worker left behind per
  // round would show as a thousand; the system's own helpers may come and go.
  EXPECT_TRUE(PumpUntil([&] { return ThreadCount() <= threads + 4; }, 10000)) << ThreadCount() << " vs " << threads;
  EXPECT_TRUE(PumpUntil([&] { return HandleCount() <= handles + 16; }, 10000)) << HandleCount() << " vs " << handles;
  // And the one left still watches.
  SetValue(L"after", L"1");
  EXPECT_TRUE(PumpUntil([&] { return reports > 0; }));
}

TEST_F(PresenceWin32, TheTrayIconsWindowIsAHiddenTopLevelWindowOfItsOwnClass) {
  tk::Form form("main", "TPresenceForm");
  app.SetMainForm(&form);
  auto tray = std::make_unique<components::TzelTrayIcon>(system.View(), form, "VeltraneTrayIcon");
  HWND found = FindWindowW(L"VeltraneTrayIcon", nullptr);
  ASSERT_TRUE(found);
  EXPECT_FALSE(IsWindowVisible(found));
  EXPECT_EQ(GetAncestor(found, GA_PARENT), GetDesktopWindow());
  // The shell's broadcast reaches it and is answered.
  EXPECT_EQ(SendMessageW(found, WM_QUERYENDSESSION, 0, 0), 1);
  // It is the icon's own: it goes with it.
  tray.reset();
  EXPECT_FALSE(IsWindow(found));
}

TEST_F(PresenceWin32, OneCopyHoldsTheInstanceMutexUntilItEndsButTheMutexAloneEndsNoCopy) {
  auto first = std::make_unique<components::TzelOneInstance>(system.View());
  const std::string name = first->BaseName() + "Default";
  EXPECT_FALSE(first->IsAnotherInstanceRunning());
  // Another program: another thread stands in for it, since a mutex's
  // owner is a thread. It finds the name held, but no window of another
  // process answers it, so it would run.
  auto held_elsewhere = [&] {
    platform::AcquireResult r = platform::AcquireResult::Failed;
    std::thread([&] {
      auto m = system.system.CreateNamedMutex(name, false, "Veltrane Presence Test.OneInstance");
      r = m ? m->Acquire(0) : r;
    }).join();
    return r == platform::AcquireResult::TimedOut;
  };
  EXPECT_TRUE(held_elsewhere());
  bool second_saw_one = true;
  std::thread([&] {
    components::TzelOneInstance second(system.View());
    second_saw_one = second.IsAnotherInstanceRunning();
  }).join();
  EXPECT_FALSE(second_saw_one);
  first.reset();
  EXPECT_FALSE(held_elsewhere());
}

}  // namespace
