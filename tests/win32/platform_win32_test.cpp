#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/slot_writers.h"

namespace platform::win32 {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::Optional;
using ::testing::UnorderedElementsAre;

// Only keeps a broken notification from hanging the whole run.
constexpr int kHangGuardMs = 30000;

// The folder of this test program, where the build puts its helper programs.
std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return s;
}

bool EndsWithIgnoringCase(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && Lower(s.substr(s.size() - tail.size())) == Lower(tail);
}

class PlatformWin32Registry : public ::testing::Test {
 protected:
  const std::string path = "Software\\VeltraneTest\\Run" + std::to_string(GetCurrentProcessId());
  Win32Registry reg;

  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VeltraneTest");  // only when empty
  }

  std::unique_ptr<RegistryKey> Key(const std::string& sub = "") {
    return reg.OpenOrCreate(RootKey::CurrentUser, sub.empty() ? path : path + "\\" + sub);
  }

  void SetRaw(const char* name, DWORD type, const std::string& bytes) {
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             DWORD(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(h);
  }

  DWORD RawSize(const char* name) {
    DWORD size = 0;
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &h) == ERROR_SUCCESS) {
      RegQueryValueExA(h, name, nullptr, nullptr, nullptr, &size);
      RegCloseKey(h);
    }
    return size;
  }
};

TEST_F(PlatformWin32Registry, TextValuesAreStoredWithTheirTerminator) {
  auto key = Key();
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->WriteText("App", "C:\\Program Files\\App\\app.exe"));
  EXPECT_EQ(RawSize("App"), key->Read("App")->data.size() + 1);
  ASSERT_TRUE(key->WriteText("Empty", ""));
  EXPECT_EQ(RawSize("Empty"), 1u);
}

TEST_F(PlatformWin32Registry, OtherTypesAndLargeValuesReadRaw) {
  auto key = Key();
  SetRaw("Num", REG_DWORD, std::string("\x2a\0\0\0", 4));
  const std::string binary = std::string("\0\1\2\xff", 4) + std::string(100 * 1024, '\x5a');
  SetRaw("Blob", REG_BINARY, binary);
  SetRaw("NoNul", REG_SZ, "abc");  // stored without a terminator by some other program

  auto num = key->Read("Num");
  ASSERT_TRUE(num);
  EXPECT_EQ(num->type, REG_DWORD);
  EXPECT_EQ(num->data, std::string("\x2a\0\0\0", 4));
  auto blob = key->Read("Blob");
  ASSERT_TRUE(blob);
  EXPECT_EQ(blob->type, REG_BINARY);
  EXPECT_EQ(blob->data, binary);
  EXPECT_EQ(key->Read("NoNul")->data, "abc");
}

// Values are read in one call into a buffer that holds the usual command
// line; those just below, at and above its size read exactly as well, and a
// key that read a long value reads a short one without its leftovers.
TEST_F(PlatformWin32Registry, ValuesAroundTheUsualSizeReadExactly) {
  auto key = Key();
  ASSERT_TRUE(key);
  for (size_t chars : {2046u, 2047u, 2048u, 2049u, 4096u}) {
    const std::string text = std::string(chars - 1, 'c') + "\xc3\xa9";  // ends outside ASCII
    ASSERT_TRUE(key->WriteText("Text", text));
    auto got = key->Read("Text");
    ASSERT_TRUE(got) << chars;
    EXPECT_EQ(got->data, text) << chars;
  }
  for (size_t bytes : {4095u, 4096u, 4097u}) {
    std::string binary(bytes, '\x01');
    binary.back() = '\x7f';
    SetRaw("Blob", REG_BINARY, binary);
    auto got = key->Read("Blob");
    ASSERT_TRUE(got) << bytes;
    EXPECT_EQ(got->data, binary) << bytes;
  }
  ASSERT_TRUE(key->WriteText("Text", "short"));
  EXPECT_EQ(key->Read("Text")->data, "short");
  SetRaw("Blob", REG_BINARY, std::string());
  EXPECT_EQ(key->Read("Blob")->data, "");

  // Read up to a size: whole within it, only its type and size beyond.
  ASSERT_TRUE(key->WriteText("Text", std::string(2047, 't')));
  auto within = key->ReadUpTo("Text", 4096);
  ASSERT_TRUE(within && within->value);
  EXPECT_EQ(within->value->data, std::string(2047, 't'));
  EXPECT_EQ(within->info.size, 4096u);
  ASSERT_TRUE(key->WriteText("Text", std::string(2048, 't')));
  auto beyond = key->ReadUpTo("Text", 4096);
  ASSERT_TRUE(beyond);
  EXPECT_FALSE(beyond->value);
  EXPECT_EQ(beyond->info.type, REG_SZ);
  EXPECT_EQ(beyond->info.size, 4098u);
  EXPECT_FALSE(key->ReadUpTo("Missing", 4096));
}

// Names are listed without their data: a value of a megabyte beside them
// changes nothing.
TEST_F(PlatformWin32Registry, ListsNamesBesideAHugeValue) {
  auto key = Key();
  const std::string long_name(16383, 'n');
  for (const std::string& name : {std::string("One"), long_name}) ASSERT_TRUE(key->WriteText(name, "x"));
  ASSERT_TRUE(key->WriteText("Huge", std::string(1 << 20, 'h')));
  EXPECT_THAT(key->ValueNames(), UnorderedElementsAre("One", "Huge", long_name));
}

// A value name with a NUL, as the native call makes it, is another value
// than the one its first part names: listed whole, read, written and deleted
// as itself.
TEST_F(PlatformWin32Registry, ANameWithANulIsAValueOfItsOwn) {
  auto key = Key();
  ASSERT_TRUE(key->WriteText("a", "keep"));
  {
    using SetValue = LONG(WINAPI*)(HANDLE, void*, ULONG, ULONG, const void*, ULONG);
    auto set = reinterpret_cast<SetValue>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
    ASSERT_TRUE(set);
    struct {
      USHORT length, maximum;
      PWSTR buffer;
    } name;
    wchar_t text[] = L"a\0b";
    name = {6, 6, text};
    const wchar_t data[] = L"hidden";
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    EXPECT_EQ(set(h, &name, 0, REG_SZ, data, sizeof data), 0);
    RegCloseKey(h);
  }
  const std::string counted("a\0b", 3);
  EXPECT_THAT(key->ValueNames(), UnorderedElementsAre("a", counted));
  EXPECT_EQ(key->Read(counted)->data, "hidden");
  EXPECT_EQ(key->Info(counted)->size, sizeof(L"hidden"));
  ASSERT_TRUE(key->WriteText(counted, "changed"));
  EXPECT_EQ(key->Read(counted)->data, "changed");
  EXPECT_EQ(key->Read("a")->data, "keep");
  ASSERT_TRUE(key->DeleteValue(counted));
  EXPECT_FALSE(key->Read(counted));
  EXPECT_THAT(key->ValueNames(), UnorderedElementsAre("a"));
}

TEST_F(PlatformWin32Registry, SubkeysAreListedAndDwordsWritten) {
  auto key = Key();
  ASSERT_TRUE(key);
  EXPECT_THAT(key->SubkeyNames(), IsEmpty());
  const std::string longest(255, 'k');
  for (const std::string& sub : {std::string("Svc"), std::string("Z\xC3\xBCrich"), longest}) ASSERT_TRUE(Key(sub)) << sub;
  EXPECT_THAT(key->SubkeyNames(), UnorderedElementsAre("Svc", "Z\xC3\xBCrich", longest));

  ASSERT_TRUE(key->WriteDword("Start", 4));
  EXPECT_EQ(RawSize("Start"), 4u);
  EXPECT_THAT(key->Read("Start"), Optional(Field(&RegValue::data, std::string("\x04\0\0\0", 4))));
  EXPECT_EQ(key->Read("Start")->type, uint32_t(ValueType::Dword));
  ASSERT_TRUE(key->WriteDword("Start", 0xFFFFFFFFu));
  EXPECT_EQ(key->Read("Start")->data, std::string(4, '\xFF'));
  // Over a value of another type, as a service's Start may have been left.
  ASSERT_TRUE(key->WriteText("Text", "2"));
  ASSERT_TRUE(key->WriteDword("Text", 2));
  EXPECT_EQ(key->Read("Text")->type, uint32_t(ValueType::Dword));
  EXPECT_FALSE(key->WriteDword("bad\xC3(", 1));
  const std::string counted("a\0b", 3);
  ASSERT_TRUE(key->WriteDword(counted, 7));
  EXPECT_EQ(key->Read(counted)->data, std::string("\x07\0\0\0", 4));
  EXPECT_FALSE(key->Read("a"));
}

class PlatformWin32Files : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() /
                 ("veltrane-files-" + std::to_string(GetCurrentProcessId()));
  Win32Files files;

  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override {
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(dir);
  }
  std::string In(const std::string& name) { return (dir / name).string(); }
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
  }
};

TEST_F(PlatformWin32Files, AReadOnlyFileIsNotReplaced) {
  const std::string list = In("list.vlt");
  ASSERT_TRUE(files.Replace(list, "longer content"));
  // A read-only target is left as it was, with no stray temporary beside it.
  SetFileAttributesA(list.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(files.Replace(list, "x"));
  EXPECT_THAT(files.ReadAll(list), Optional(std::string("longer content")));
  EXPECT_THAT(Entries(), UnorderedElementsAre("list.vlt"));
}

TEST_F(PlatformWin32Files, ARunningProgramsFileIsHeldThenDeletedOnceItHasEnded) {
  Win32System sys;
  std::string exe = sys.ExePath();
  const std::string waiter = exe.substr(0, exe.find_last_of('\\') + 1) + "waiter.exe";
  ASSERT_TRUE(CopyFileA(waiter.c_str(), In("agent.exe").c_str(), TRUE)) << waiter;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string command = "\"" + In("agent.exe") + "\"";
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &si, &pi));
  CloseHandle(pi.hThread);
  std::unique_ptr<HeldFile> held = files.Hold(In("agent.exe"));
  const bool deleted_while_running = held && held->Delete();
  TerminateProcess(pi.hProcess, 1);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, kHangGuardMs), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  ASSERT_TRUE(held);
  EXPECT_FALSE(deleted_while_running);
  EXPECT_THAT(held->FinalPath(), Optional(testing::ResultOf(Lower, Lower(In("agent.exe")))));
  ASSERT_TRUE(held->CopyToNew(In("trashed.exe")));
  EXPECT_TRUE(held->Delete());
  held.reset();
  EXPECT_THAT(Entries(), UnorderedElementsAre("trashed.exe"));
}

// Windows programs under Wine can make no link (CreateSymbolicLinkW does
// nothing), so tests/wine_gtest.sh makes C:\veltrane-link-test\linked, a Unix
// symbolic link to the folder "real" beside it. Wine follows it when it
// opens a path through it, even when asked to open the link itself.
TEST(PlatformWin32Links, AFolderThatIsALinkShowsInTheFinalPathAndStopsAMove) {
  const std::string base = "C:\\veltrane-link-test\\";
  ASSERT_NE(GetFileAttributesA((base + "linked").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the link is made by tests/wine_gtest.sh";
  Win32Files files;
  ASSERT_TRUE(files.Replace(base + "real\\agent.exe", "administrators only"));
  std::unique_ptr<HeldFile> held = files.Hold(base + "linked\\agent.exe");
  ASSERT_TRUE(held);
  EXPECT_THAT(held->FinalPath(), Optional(testing::ResultOf(Lower, Lower(base + "real\\agent.exe"))));
  held.reset();

  ASSERT_TRUE(CreateDirectoryA((base + "real\\sub").c_str(), nullptr));
  ASSERT_TRUE(files.Replace(base + "a.txt", "A"));
  for (const char* to : {"linked\\a.txt", "LINKED\\sub\\a.txt"})
    EXPECT_EQ(files.Move(base + "a.txt", base + to), MoveStatus::ThroughReparsePoint) << to;
  EXPECT_FALSE(files.Exists(base + "real\\a.txt"));
  EXPECT_FALSE(files.Exists(base + "real\\sub\\a.txt"));
  EXPECT_EQ(files.Move(base + "a.txt", base + "real\\sub\\a.txt"), MoveStatus::Moved);
}

TEST_F(PlatformWin32Files, FoldersAreListedAndMadeApartFromFiles) {
  // Not In(): std::filesystem would read the names in the ANSI code page.
  const auto In = [this](const std::string& name) { return dir.string() + "\\" + name; };
  ASSERT_TRUE(files.MakeFolder(In("Z\xC3\xBCrich")));
  EXPECT_TRUE(files.MakeFolder(In("Z\xC3\xBCrich"))) << "there already";
  ASSERT_TRUE(files.Replace(In("file.xml"), "<Task/>"));
  ASSERT_TRUE(files.MakeFolder(In("Z\xC3\xBCrich\\Inner")));
  EXPECT_THAT(files.ListFolders(dir.string()).names, UnorderedElementsAre("Z\xC3\xBCrich"));
  EXPECT_EQ(files.ListFolders(dir.string()).status, ListStatus::Listed);
  EXPECT_THAT(files.ListFiles(dir.string()).names, UnorderedElementsAre("file.xml"));
  EXPECT_EQ(files.ListFolders(In("missing")).status, ListStatus::Missing);
  // A file is not a folder, and a missing parent is not made.
  EXPECT_FALSE(files.MakeFolder(In("file.xml")));
  EXPECT_FALSE(files.MakeFolder(In("missing\\child")));
  EXPECT_FALSE(files.MakeFolder(In("bad\xC3(")));
}

// See PlatformWin32Links above: a link to a folder could lead anywhere.
TEST(PlatformWin32Links, AFolderThatIsALinkIsNoFolderToListOrMake) {
  const std::string base = "C:\\veltrane-link-test";
  Win32Files files;
  const FolderList list = files.ListFolders(base);
  ASSERT_EQ(list.status, ListStatus::Listed);
  EXPECT_THAT(list.names, Contains("real"));
  EXPECT_THAT(list.names, Not(Contains("linked")));
  EXPECT_FALSE(files.MakeFolder(base + "\\linked"));
}

TEST_F(PlatformWin32Files, ReadsAFileAnotherProgramHasOpen) {
  ASSERT_TRUE(files.Replace(In("busy.txt"), "shared"));
  HANDLE writer = CreateFileA(In("busy.txt").c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_THAT(files.ReadAll(In("busy.txt")), Optional(std::string("shared")));
  CloseHandle(writer);
}

TEST_F(PlatformWin32Files, NobodyDeletesTheLockFileWhileItIsHeld) {
  const std::string lock = In("veltrane.lck");
  std::unique_ptr<FileLock> first = files.Lock(lock, 0);
  ASSERT_TRUE(first);
  EXPECT_FALSE(files.Delete(lock));
  first.reset();
  EXPECT_TRUE(files.Delete(lock));
}

TEST_F(PlatformWin32Files, TwoProcessesAddAndEraseSlotsOfOneListAndNoRecordIsMixedOrLost) {
  const std::vector<int> codes = testing_support::RunTwoWriters(files, dir.string(), dir.string());
  EXPECT_THAT(codes, ::testing::ElementsAre(testing_support::kWriterDone, testing_support::kWriterDone));
  testing_support::ExpectKeptRecords(files, dir.string());
}

TEST(PlatformWin32Processes, FindsItself) {
  Win32Processes procs;
  Win32System sys;
  const uint32_t self = GetCurrentProcessId();
  EXPECT_THAT(procs.EnumerateIds(1u << 16), Contains(self));
  EXPECT_THAT(procs.EnumerateIds(0), IsEmpty());
  EXPECT_LE(procs.EnumerateIds(1).size(), 1u);
  auto image = procs.ImagePath(self);
  ASSERT_TRUE(image);
  EXPECT_EQ(Lower(*image), Lower(sys.ExePath()));
  EXPECT_FALSE(procs.ImagePath(0));
  bool found = false;
  for (const auto& p : procs.Snapshot()) {
    if (p.pid == self) {
      found = true;
      EXPECT_EQ(Lower(p.exe_name), "unit_tests_win32.exe");
    }
  }
  EXPECT_TRUE(found);
  auto any = [](const std::string&) { return true; };
  EXPECT_EQ(procs.Stop(self, any).status, StopStatus::Failed);
  EXPECT_EQ(procs.Stop(0, any).status, StopStatus::Failed);
  EXPECT_FALSE(procs.IsCritical(self));
  wchar_t windows[MAX_PATH];
  UINT len = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(procs.WindowsFolder(), Utf8(windows, len));
}

TEST(PlatformWin32Processes, StopsAChild) {
  Win32System sys;
  std::string exe = sys.ExePath();
  std::string waiter = exe.substr(0, exe.find_last_of('\\') + 1) + "waiter.exe";
  if (GetFileAttributesA(waiter.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "waiter.exe is not built next to the tests";
  }
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string command = "\"" + waiter + "\"";
  ASSERT_TRUE(CreateProcessA(waiter.c_str(), command.data(), nullptr, nullptr, FALSE,
                             CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);

  Win32Processes procs;
  EXPECT_THAT(procs.EnumerateIds(1u << 16), Contains(uint32_t(pi.dwProcessId)));
  auto image = procs.ImagePath(pi.dwProcessId);
  ASSERT_TRUE(image);
  EXPECT_TRUE(EndsWithIgnoringCase(*image, "\\waiter.exe")) << *image;
  bool listed = false;
  for (const auto& p : procs.Snapshot()) listed |= p.pid == pi.dwProcessId;
  EXPECT_TRUE(listed);

  // Looked at on the handle that would stop it: another path is left alone.
  EXPECT_EQ(procs.Stop(pi.dwProcessId, [](const std::string&) { return false; }).status, StopStatus::NotIt);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), DWORD(WAIT_TIMEOUT));
  StopResult stopped = procs.Stop(pi.dwProcessId, [&](const std::string& path) { return path == *image; });
  ASSERT_EQ(stopped.status, StopStatus::Stopped);
  StoppedProcess::State state;
  while ((state = stopped.stopped->WaitForEnd()) == StoppedProcess::State::Pending) {
  }
  EXPECT_EQ(state, StoppedProcess::State::Ended);
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, kHangGuardMs), WAIT_OBJECT_0);
  EXPECT_EQ(procs.Stop(pi.dwProcessId, [](const std::string&) { return true; }).status, StopStatus::NotIt);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hProcess);
}

TEST(PlatformWin32System, FactsAndNamedMutexes) {
  Win32System sys;
  EXPECT_THAT(sys.UserName(), Optional(testing::Not(IsEmpty())));
  EXPECT_TRUE(EndsWithIgnoringCase(sys.ExePath(), "\\unit_tests_win32.exe")) << sys.ExePath();
  EXPECT_THAT(sys.UserSid(), Optional(testing::StartsWith("S-1-5-")));

  const std::string name = "VeltraneTestMutex" + std::to_string(GetCurrentProcessId());
  auto first = sys.CreateNamedMutex(name);
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->AlreadyExisted());
  auto second = sys.CreateNamedMutex(name);
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->AlreadyExisted());
  first.reset();
  second.reset();
  EXPECT_FALSE(sys.CreateNamedMutex(name)->AlreadyExisted());
  EXPECT_FALSE(sys.CreateNamedMutex("")->AlreadyExisted());
}

TEST(PlatformWin32System, BringsAnotherProgramsMinimisedWindowBack) {
  Win32System sys;
  EXPECT_THAT(sys.FindWindows("VeltraneNoSuchClass", ""), IsEmpty());
  EXPECT_FALSE(sys.BringWindowForward(0));

  // This program's own windows never count: a second copy must not find itself.
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VeltraneForwardTest";
  RegisterClassW(&wc);
  HWND own = CreateWindowExW(0, wc.lpszClassName, L"Veltrane forward test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, wc.hInstance, nullptr);
  if (!own) GTEST_SKIP() << "no window station";
  EXPECT_THAT(sys.FindWindows("", "Veltrane forward test"), IsEmpty());
  DestroyWindow(own);
  UnregisterClassW(wc.lpszClassName, wc.hInstance);

  // Another program's window, started minimised: it comes back.
  std::wstring exe = ExeFolder() + L"\\e2e_target.exe";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    GTEST_SKIP() << "e2e_target.exe is not beside the tests";
  WaitForInputIdle(pi.hProcess, kHangGuardMs);
  HWND target = nullptr;
  for (DWORD start = GetTickCount(); !(target = FindWindowW(L"E2ETargetMain", nullptr)) &&
                                     GetTickCount() - start < kHangGuardMs;)
    Sleep(20);
  ASSERT_TRUE(target);
  ShowWindow(target, SW_SHOWMINNOACTIVE);
  ASSERT_TRUE(IsIconic(target));
  EXPECT_THAT(sys.FindWindows("e2etargetmain", "E2E Target"), testing::ElementsAre(uintptr_t(target)));
  EXPECT_TRUE(sys.BringWindowForward(uintptr_t(target), "VeltraneForwardTest.Activate"));
  EXPECT_FALSE(IsIconic(target));
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, kHangGuardMs);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

// What a starting copy asks of another program's window: its answer to a
// registered message, and whether that program is the very same file,
// whatever path names it.
TEST(PlatformWin32System, AsksAnotherProgramsWindowAndKnowsItsProgramFile) {
  // Beside waiter.exe, for the hard link. Wine gives the same process ids
  // in every session, so what a failed run left is cleared first and last.
  const std::wstring folder = ExeFolder() + L"\\answer_test", waiter = ExeFolder() + L"\\waiter.exe",
                     link = folder + L"\\linked.exe", copy = folder + L"\\copied.exe";
  struct Clear {
    const std::wstring &folder, &link, &copy;
    void operator()() const {
      DeleteFileW(link.c_str());
      DeleteFileW(copy.c_str());
      RemoveDirectoryW(folder.c_str());
    }
    ~Clear() { (*this)(); }
  } clear{folder, link, copy};
  clear();
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(waiter.c_str(), copy.c_str(), TRUE));
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), waiter.c_str(), nullptr));

  std::wstring command = L"waiter.exe \"/window=VeltraneAnswerTest:Answer test\" /answer=VeltraneAnswerTest.Ask:0x5654";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(waiter.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &si, &pi));
  Win32System sys;
  std::vector<uintptr_t> found;
  for (DWORD start = GetTickCount();
       (found = sys.FindWindows("VeltraneAnswerTest", "answer test")).empty() && GetTickCount() - start < kHangGuardMs;)
    Sleep(20);
  ASSERT_EQ(found.size(), 1u);
  const uintptr_t window = found[0];

  EXPECT_EQ(sys.SendRegisteredMessage(window, "VeltraneAnswerTest.Ask", 5000), 0x5654);
  EXPECT_EQ(sys.SendRegisteredMessage(window, "VeltraneAnswerTest.Other", 5000), 0) << "not its message";
  EXPECT_TRUE(sys.WindowOfProgram(window, Lower(Utf8(waiter))));
  EXPECT_TRUE(sys.WindowOfProgram(window, Utf8(link))) << "another name of the same file";
  EXPECT_FALSE(sys.WindowOfProgram(window, Utf8(copy))) << "a copy is another file";
  EXPECT_FALSE(sys.WindowOfProgram(window, sys.ExePath()));

  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, kHangGuardMs);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_EQ(sys.SendRegisteredMessage(window, "VeltraneAnswerTest.Ask", 1000), std::nullopt) << "gone";
}

// A program starts only by its full path, never one found in the current
// folder, with the arguments as given, in the folder it is given.
TEST(PlatformWin32Shell, StartsAProgramByItsFullPathInTheFolderGiven) {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::string folder = Utf8(system, length);
  const std::string cmd = folder + "\\cmd.exe";
  const fs::path out = fs::temp_directory_path() / ("veltrane-start-" + std::to_string(GetCurrentProcessId()) + ".txt");
  const std::string there = Utf8(fs::temp_directory_path().parent_path().wstring());
  Win32Shell shell;
  EXPECT_FALSE(shell.Start("cmd.exe", "/c exit", there));
  EXPECT_FALSE(shell.Start(cmd, "/c exit", "Temp"));
  EXPECT_FALSE(shell.Start(cmd, std::string("/c\0exit", 7), there));
  ASSERT_TRUE(shell.Start(cmd, "/c cd> \"" + Utf8(out.wstring()) + "\"", there));
  std::string written;
  for (DWORD start = GetTickCount(); written.find('\n') == std::string::npos && GetTickCount() - start < kHangGuardMs;) {
    Sleep(20);
    std::ifstream in(out, std::ios::binary);
    written.assign(std::istreambuf_iterator<char>(in), {});
  }
  fs::remove(out);
  EXPECT_EQ(Lower(written), Lower(there + "\r\n"));
}

}  // namespace
}  // namespace platform::win32
