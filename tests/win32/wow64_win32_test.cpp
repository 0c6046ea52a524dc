// The backends on 64-bit Windows, where this 32-bit program has two views of
// the machine's SOFTWARE key and its file names under System32 would be
// sent to SysWOW64. Run in a 32-bit prefix too, where both views are one key.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

// Told by the system itself, not by the backend under test.
bool SixtyFourBitWindows() {
  wchar_t folder[MAX_PATH];
  return GetSystemWow64DirectoryW(folder, MAX_PATH) != 0;
}

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return s;
}

std::string Raw(HKEY root, const std::string& path, REGSAM view, const char* name) {
  HKEY h;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return "(no key)";
  char data[64] = {};
  DWORD size = sizeof data - 1;
  LONG rc = RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? std::string(data) : "(no value)";
}

class PlatformWin64Registry : public ::testing::Test {
 protected:
  const std::string path = "SOFTWARE\\VeltraneTest" + std::to_string(GetCurrentProcessId());
  const std::string path32 = "SOFTWARE\\Wow6432Node\\VeltraneTest" + std::to_string(GetCurrentProcessId());
  Win32Registry reg;

  void TearDown() override {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_64KEY, 0);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);
  }
};

TEST_F(PlatformWin64Registry, TheViewsAreTwoKeysOn64BitWindowsAndOneElsewhere) {
  const bool two = SixtyFourBitWindows();
  EXPECT_EQ(reg.HasWow32View(), two);
  auto wow = reg.OpenOrCreate(RootKey::LocalMachine, path, nullptr, RegView::Wow32);
  ASSERT_TRUE(wow);
  ASSERT_TRUE(wow->WriteText("v", "32"));
  auto native = reg.OpenOrCreate(RootKey::LocalMachine, path, nullptr, RegView::Native);
  ASSERT_TRUE(native);
  ASSERT_TRUE(native->WriteText("n", "64"));
  if (two) {
    // Where 64-bit tools find the 32-bit view: under Wow6432Node.
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, path32, KEY_WOW64_64KEY, "v"), "32");
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, "v"), "(no value)");
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY, "n"), "64");
    EXPECT_FALSE(wow->Read("n"));
  } else {
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, path, 0, "v"), "32");
    EXPECT_EQ(wow->Read("n")->data, "64");
  }
  auto read32 = reg.Open(RootKey::LocalMachine, path, Access::Read, nullptr, RegView::Wow32);
  ASSERT_TRUE(read32);
  EXPECT_EQ(read32->Read("v")->data, "32");
  // The machine's key lies twice on 64-bit Windows; the user's key once.
  EXPECT_EQ(reg.ViewsShareKey(RootKey::LocalMachine, path), !two);
  ASSERT_TRUE(reg.OpenOrCreate(RootKey::CurrentUser, path));
  EXPECT_TRUE(reg.ViewsShareKey(RootKey::CurrentUser, path));
  RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
  EXPECT_FALSE(reg.ViewsShareKey(RootKey::CurrentUser, path)) << "a missing key";
}

TEST(PlatformWin64System, ProgramFilesIsTheNativeFolder) {
  // A 32-bit program's own idea of it is the x86 folder on 64-bit Windows.
  wchar_t own[MAX_PATH];
  ASSERT_NE(ExpandEnvironmentStringsW(L"%ProgramFiles%", own, MAX_PATH), 0u);
  const std::string native = Win32System().ProgramFilesFolder();
  EXPECT_EQ(native, "C:\\Program Files");
  if (SixtyFourBitWindows()) {
    EXPECT_EQ(platform::win32::Utf8(own), "C:\\Program Files (x86)");
  }
}

// Files named under System32 are the native ones, for every call.
class PlatformWin64Files : public ::testing::Test {
 protected:
  const std::string file = "veltrane-test-" + std::to_string(GetCurrentProcessId()) + ".txt";
  const std::wstring name{file.begin(), file.end()};
  const std::string system32 = "C:\\Windows\\System32\\" + file;
  const std::string elsewhere = "C:\\" + file;
  Win32Files files;

  void SetUp() override {
    if (!SixtyFourBitWindows()) GTEST_SKIP() << "32-bit Windows redirects nothing";
    // Names that no redirection touches: Sysnative is the native System32
    // as 32-bit programs name it, SysWOW64 the 32-bit one.
    Put(L"C:\\Windows\\Sysnative\\" + name, "native");
    Put(L"C:\\Windows\\SysWOW64\\" + name, "namesake");
  }
  void TearDown() override {
    for (const wchar_t* folder : {L"C:\\Windows\\Sysnative\\", L"C:\\Windows\\SysWOW64\\", L"C:\\"})
      DeleteFileW((folder + name).c_str());
  }
  static void Put(const std::wstring& path, const std::string& text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(f);
  }
  static std::string Get(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "(missing)";
    char data[64];
    DWORD got = 0;
    ReadFile(f, data, sizeof data, &got, nullptr);
    CloseHandle(f);
    return std::string(data, got);
  }
};

TEST_F(PlatformWin64Files, EveryCallActsOnTheNativeFile) {
  EXPECT_EQ(files.ReadAll(system32), "native");
  EXPECT_EQ(files.Stat(system32).size, 6u);
  std::unique_ptr<platform::HeldFile> held = files.Hold(system32);
  ASSERT_TRUE(held);
  EXPECT_EQ(Lower(held->FinalPath().value_or("")), Lower(system32));
  ASSERT_TRUE(held->CopyToNew(elsewhere));
  EXPECT_EQ(Get(L"C:\\" + name), "native");
  ASSERT_TRUE(held->Delete());
  held.reset();
  EXPECT_FALSE(files.Exists(system32));
  ASSERT_EQ(files.Move(elsewhere, system32), platform::MoveStatus::Moved);
  EXPECT_EQ(Get(L"C:\\Windows\\Sysnative\\" + name), "native");
  ASSERT_TRUE(files.Replace(system32, "rewritten"));
  EXPECT_EQ(Get(L"C:\\Windows\\Sysnative\\" + name), "rewritten");
  // The namesake was never touched.
  EXPECT_EQ(Get(L"C:\\Windows\\SysWOW64\\" + name), "namesake");
}

// The scheduler's files lie in the native system folder, which a 32-bit
// program reaches through Sysnative; through System32 it would find
// SysWOW64, where there are none. The file calls act on the path as given.
TEST(PlatformWin64Tasks, TheTasksFolderIsTheNativeOne) {
  Win32Tasks tasks;
  Win32Files files;
  const std::string folder = tasks.Folder();
  EXPECT_TRUE(Lower(folder).ends_with(SixtyFourBitWindows() ? "\\sysnative\\tasks" : "\\system32\\tasks"))
      << folder;
  const std::string file = "veltrane-test-" + std::to_string(GetCurrentProcessId());
  const std::wstring native = L"C:\\Windows\\" + std::wstring(SixtyFourBitWindows() ? L"Sysnative" : L"System32") +
                              L"\\Tasks\\" + std::wstring(file.begin(), file.end());
  HANDLE f = CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(f);
  const FolderList list = files.ListFiles(folder);
  const bool read = files.ReadAll(folder + "\\" + file).has_value();
  const bool deleted = files.Delete(folder + "\\" + file);
  DeleteFileW(native.c_str());
  EXPECT_EQ(list.status, ListStatus::Listed);
  EXPECT_THAT(list.names, ::testing::Contains(file));
  EXPECT_TRUE(read);
  EXPECT_TRUE(deleted);
}

}  // namespace
}  // namespace platform::win32
