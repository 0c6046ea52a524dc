// The wide backends with text beyond any one code page: registry value
// names and data, file names, and a process started from a folder named in
// Cyrillic are seen, stored and acted on exactly, and a look-alike is never
// taken for the real thing.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

using ::testing::Contains;
using ::testing::Not;
using ::testing::Optional;
using ::testing::UnorderedElementsAre;

// "Ключ" in Cyrillic, and the same with a Latin K.
const std::string kKey = "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87";
const std::string kLatinKey = "K\xD0\xBB\xD1\x8E\xD1\x87";
const std::string kGreek = "\xCE\xA3\xCF\x8D\xCF\x83\xCF\x84\xCE\xB7\xCE\xBC\xCE\xB1";  // Σύστημα
const std::string kCjk = "\xE8\x87\xAA\xE5\x8A\xA8\xE5\x90\xAF\xE5\x8A\xA8";            // 自动启动
const std::string kFolder = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBE\xD0\xB6\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5";  // Приложение

class ExactRegistry : public ::testing::Test {
 protected:
  const std::wstring path = L"Software\\VeltraneTest\\Exact" + std::to_wstring(GetCurrentProcessId());
  Win32Registry reg;
  HKEY raw = nullptr;

  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(raw);
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VeltraneTest");  // only when empty
  }
  std::unique_ptr<RegistryKey> Key() { return reg.Open(RootKey::CurrentUser, Utf8(path), Access::ReadWrite); }
  void SetWide(const std::wstring& name, const std::wstring& data) {
    ASSERT_EQ(RegSetValueExW(raw, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                             DWORD((data.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  std::optional<std::wstring> GetWide(const std::wstring& name) {
    wchar_t buf[512];
    DWORD size = sizeof buf;
    if (RegQueryValueExW(raw, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
      return std::nullopt;
    return std::wstring(buf, size / sizeof(wchar_t) - 1);
  }
};

TEST_F(ExactRegistry, NamesAndDataInAnyScriptComeAndGoExactly) {
  const std::pair<std::string, std::string> values[] = {
      {kKey, "C:\\evil.exe"},
      {kLatinKey, "C:\\" + kFolder + "\\app.exe"},
      {kGreek, "C:\\" + kGreek + "\\" + kGreek + ".exe"},
      {kCjk, "\"C:\\" + kCjk + "\\app.exe\" /min \xF0\x9F\x98\x80"},
  };
  for (const auto& [name, data] : values) SetWide(Wide(name), Wide(data));
  auto key = Key();
  ASSERT_TRUE(key);
  EXPECT_THAT(key->ValueNames(), UnorderedElementsAre(kKey, kLatinKey, kGreek, kCjk));
  for (const auto& [name, data] : values) {
    auto value = key->Read(name);
    ASSERT_TRUE(value) << name;
    EXPECT_EQ(value->data, data);
  }
  // Written by the program, read by Windows as it was meant.
  ASSERT_TRUE(key->WriteText(kGreek, "C:\\" + kCjk + ".exe"));
  EXPECT_THAT(GetWide(Wide(kGreek)), Optional(L"C:\\" + Wide(kCjk) + L".exe"));
  // Deleting the Cyrillic name leaves its look-alike alone.
  EXPECT_TRUE(key->DeleteValue(kKey));
  EXPECT_FALSE(GetWide(Wide(kKey)));
  EXPECT_THAT(GetWide(Wide(kLatinKey)), Optional(Wide(values[1].second)));
  // A name that is not UTF-8 names nothing: never guessed at.
  SetWide(L"caf\u00E9", L"x");
  EXPECT_FALSE(key->Read("caf\xE9"));
  EXPECT_FALSE(key->DeleteValue("caf\xE9"));
  EXPECT_FALSE(key->WriteText("caf\xE9", "y"));
  EXPECT_THAT(GetWide(L"caf\u00E9"), Optional(std::wstring(L"x")));
}

TEST_F(ExactRegistry, AnIllFormedNameCanStillBeNamedBack) {
  const std::wstring lone = std::wstring(L"x") + wchar_t(0xD800) + L"y";
  SetWide(lone, L"C:\\lone.exe");
  auto key = Key();
  ASSERT_TRUE(key);
  std::vector<std::string> names = key->ValueNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(key->Read(names[0])->data, "C:\\lone.exe");
  EXPECT_TRUE(key->DeleteValue(names[0]));
  EXPECT_FALSE(GetWide(lone));
}

class ExactFiles : public ::testing::Test {
 protected:
  std::string dir;
  Win32Files files;

  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir = Utf8(temp) + "veltrane-" + kFolder + "-" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryW(Wide(dir).c_str(), nullptr));
  }
  void TearDown() override {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Wide(dir + "*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((Wide(dir) + found.cFileName).c_str());
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    RemoveDirectoryW(Wide(dir).c_str());
  }
};

TEST_F(ExactFiles, FilesNamedInAnyScript) {
  for (const std::string& name : {kKey + ".exe", kGreek + ".vlt", kCjk + ".txt"}) {
    SCOPED_TRACE(name);
    const std::string path = dir + name;
    ASSERT_TRUE(files.Replace(path, name));
    EXPECT_NE(GetFileAttributesW(Wide(path).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_THAT(files.ReadAll(path), Optional(name));
    std::unique_ptr<platform::HeldFile> held = files.Hold(path);
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->FinalPath().value_or("").ends_with("\\" + name)) << held->FinalPath().value_or("(none)");
    ASSERT_TRUE(held->CopyToNew(dir + "copy-" + name));
    held.reset();
    ASSERT_EQ(files.Move(dir + "copy-" + name, dir + "moved-" + name), platform::MoveStatus::Moved);
    EXPECT_TRUE(files.Exists(dir + "moved-" + name));
    EXPECT_FALSE(files.Exists(dir + "copy-" + name));
    EXPECT_TRUE(files.Delete(dir + "moved-" + name));
  }
  // The look-alike is another file.
  EXPECT_FALSE(files.Exists(dir + kLatinKey + ".exe"));
  EXPECT_FALSE(files.Delete(dir + kLatinKey + ".exe"));
  EXPECT_TRUE(files.Exists(dir + kKey + ".exe"));
  // Bytes that are not UTF-8 name no file at all.
  EXPECT_FALSE(files.Exists(dir + "\xCA\xEB\xFE\xF7.exe"));
  EXPECT_FALSE(files.Replace(dir + "\xCA\xEB\xFE\xF7.exe", "x"));
}

TEST_F(ExactFiles, OldListsReadInTheAnsiCodePage) {
  // The Wine runs pin the Western code page.
  if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
  EXPECT_EQ(files.AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(files.AnsiToUtf8(""), "");
}

TEST_F(ExactFiles, AProcessFromACyrillicFolderIsSeenAndStoppedExactly) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring waiter = self;
  waiter = waiter.substr(0, waiter.find_last_of(L'\\') + 1) + L"waiter.exe";
  if (GetFileAttributesW(waiter.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "waiter.exe is not built next to the tests";
  }
  // "svchōst.exe": the best-fit of the ANSI functions would make it svchost.exe.
  const std::string exe = dir + "svch\xC5\x8Dst.exe";
  ASSERT_TRUE(CopyFileW(waiter.c_str(), Wide(exe).c_str(), TRUE));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + Wide(exe) + L"\"";
  ASSERT_TRUE(CreateProcessW(Wide(exe).c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                             nullptr, &si, &pi));
  CloseHandle(pi.hThread);

  Win32Processes procs;
  EXPECT_THAT(procs.ImagePath(pi.dwProcessId), Optional(exe));
  bool listed = false;
  for (const auto& p : procs.Snapshot()) {
    if (p.pid == pi.dwProcessId) {
      listed = true;
      EXPECT_EQ(p.exe_name, "svch\xC5\x8Dst.exe");
    }
  }
  EXPECT_TRUE(listed);
  const std::string look_alike = dir + "svchost.exe";
  EXPECT_EQ(procs.Stop(pi.dwProcessId, [&](const std::string& p) { return p == look_alike; }).status,
            StopStatus::NotIt);
  StopResult stopped = procs.Stop(pi.dwProcessId, [&](const std::string& p) { return p == exe; });
  ASSERT_EQ(stopped.status, StopStatus::Stopped);
  StoppedProcess::State state;
  while ((state = stopped.stopped->WaitForEnd()) == StoppedProcess::State::Pending) {
  }
  EXPECT_EQ(state, StoppedProcess::State::Ended);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  EXPECT_TRUE(files.Delete(exe));
}

}  // namespace
}  // namespace platform::win32
