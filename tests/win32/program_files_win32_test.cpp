// Program files as Windows tells of them. The signed programs are copies
// of opener.exe that the build signs with a certificate of its own
// ("Veltrane Test Signer", cmake/sign_probe.cmake), one of them changed
// after signing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_program_files.h"

namespace platform::win32 {
namespace {

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, n);
  return file.substr(0, file.find_last_of(L'\\') + 1) + name;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> Attributes(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data;
}

uint64_t SizeOf(const std::wstring& path) {
  auto data = Attributes(path);
  return data ? uint64_t(data->nFileSizeHigh) << 32 | data->nFileSizeLow : ~uint64_t(0);
}

class ProgramFilesWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"veltrane-facts-" + std::to_wstring(GetCurrentProcessId()) + L"-\u00e4";
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring Write(const wchar_t* name, const std::string& bytes) {
    const std::wstring path = folder_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), DWORD(bytes.size()), &wrote, nullptr));
    CloseHandle(file);
    files_.push_back(path);
    return path;
  }

  Win32ProgramFiles files_api_;
  std::wstring folder_;
  std::vector<std::wstring> files_;
};

TEST_F(ProgramFilesWin32, AProgramTellsItsSizeAndCompany) {
  const struct {
    const wchar_t* name;
    std::optional<std::string> company;
  } programs[] = {
      {L"veltrane.exe", "Quorvik"},  // main/veltrane.rc
      {L"opener.exe", std::nullopt},  // no version resource
  };
  for (const auto& program : programs) {
    const std::wstring path = Beside(program.name);
    const FileFacts facts = files_api_.Facts(Utf8(path));
    EXPECT_TRUE(facts.exists) << Utf8(path) << " (make win32)";
    EXPECT_EQ(facts.size, SizeOf(path)) << Utf8(path);
    EXPECT_EQ(facts.company, program.company) << Utf8(path);
    EXPECT_EQ(facts.signature, SignatureKind::NotSigned) << Utf8(path);
    EXPECT_EQ(facts.signer, "") << Utf8(path);
  }
}

TEST_F(ProgramFilesWin32, AFileThatCannotBeReadStillTellsItsSize) {
  const std::wstring text = Write(L"plain.txt", "plain text");
  FileFacts facts = files_api_.Facts(Utf8(text));
  EXPECT_TRUE(facts.exists);
  EXPECT_EQ(facts.size, 10u);
  EXPECT_FALSE(facts.company);
  EXPECT_EQ(facts.signature, SignatureKind::NotSigned);

  // Held by another without any sharing: there, though not to be verified.
  HANDLE locked = CreateFileW(text.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  facts = files_api_.Facts(Utf8(text));
  EXPECT_TRUE(facts.exists);
  EXPECT_EQ(facts.size, 10u);
  EXPECT_EQ(facts.signature, SignatureKind::NotSigned);
  EXPECT_FALSE(files_api_.Sha256(Utf8(text)));
  CloseHandle(locked);
}

TEST_F(ProgramFilesWin32, WhatIsNoFileHasNoFacts) {
  const std::string missing = Utf8(folder_) + "\\missing.exe";
  const std::string cases[] = {
      missing,
      Utf8(folder_),                      // a folder
      "veltrane.exe",                     // relative: the current folder would choose
      "\\\\.\\pipe\\veltrane-facts",      // devices and pipes are no program files
      Utf8(folder_) + "\\bad\xFF.exe",    // not UTF-8
      std::string("C:\\windows\\notepad.exe\0x", 24),  // cut short at the NUL, it would name another
  };
  for (const std::string& path : cases) {
    const FileFacts facts = files_api_.Facts(path);
    EXPECT_FALSE(facts.exists) << path;
    EXPECT_EQ(facts.size, 0u) << path;
    EXPECT_FALSE(facts.company) << path;
    EXPECT_FALSE(files_api_.Identity(path)) << path;
    EXPECT_FALSE(files_api_.Glance(path)) << path;
    EXPECT_FALSE(files_api_.Sha256(path)) << path;
  }
}

TEST_F(ProgramFilesWin32, SignaturesAreVerifiedAndAChangeAfterSigningShows) {
  const std::wstring signed_probe = Beside(L"signed_probe.exe");
  const std::wstring tampered_probe = Beside(L"tampered_probe.exe");
  ASSERT_TRUE(Attributes(signed_probe)) << "signed_probe.exe is made by make win32 with openssl and osslsigncode";

  // Wine trusts a certificate that signs itself; Windows knows no such root.
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  const FileFacts good = files_api_.Facts(Utf8(signed_probe));
  EXPECT_TRUE(good.exists);
  EXPECT_EQ(good.size, SizeOf(signed_probe));
  EXPECT_EQ(good.signature, wine ? SignatureKind::Signed : SignatureKind::UntrustedSigner);
  EXPECT_EQ(good.signer, "Veltrane Test Signer");
  EXPECT_FALSE(good.company);

  const FileFacts changed = files_api_.Facts(Utf8(tampered_probe));
  EXPECT_TRUE(changed.exists);
  EXPECT_EQ(changed.signature, SignatureKind::ChangedAfterSigning);
  EXPECT_EQ(changed.signer, "");
}

TEST_F(ProgramFilesWin32, IdentityTellsFilesApartAndMatchesTheirAttributes) {
  const std::wstring one = Write(L"one.exe", "one");
  const std::wstring two = Write(L"two.exe", "two!");
  const auto first = files_api_.Identity(Utf8(one));
  ASSERT_TRUE(first);
  EXPECT_EQ(files_api_.Identity(Utf8(one)), first);
  const auto other = files_api_.Identity(Utf8(two));
  ASSERT_TRUE(other);
  EXPECT_NE(other->file_id, first->file_id);

  const auto data = Attributes(two);
  ASSERT_TRUE(data);
  EXPECT_EQ(other->size, 4u);
  EXPECT_EQ(other->write_time,
            uint64_t(data->ftLastWriteTime.dwHighDateTime) << 32 | data->ftLastWriteTime.dwLowDateTime);

  // A glance by the name tells the same size and times.
  const auto glance = files_api_.Glance(Utf8(two));
  ASSERT_TRUE(glance);
  EXPECT_EQ(glance->size, other->size);
  EXPECT_EQ(glance->write_time, other->write_time);
  EXPECT_EQ(glance->change_time, other->change_time);
  EXPECT_EQ(glance->file_id, "");

  // Held by another without any sharing: its identity is still told.
  HANDLE locked = CreateFileW(one.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files_api_.Identity(Utf8(one)), first);
  CloseHandle(locked);

  // Another file put in its place with the same size and write time: the
  // glance sees its change time move, the identity its ID.
  const std::wstring three = Write(L"three.exe", "two?");
  HANDLE file = CreateFileW(three.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &data->ftLastWriteTime));
  CloseHandle(file);
  Sleep(20);
  ASSERT_TRUE(MoveFileExW(three.c_str(), two.c_str(), MOVEFILE_REPLACE_EXISTING));
  const auto replaced = files_api_.Identity(Utf8(two));
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced->size, other->size);
  EXPECT_EQ(replaced->write_time, other->write_time);
  EXPECT_NE(replaced->file_id, other->file_id);
  EXPECT_NE(files_api_.Glance(Utf8(two))->change_time, glance->change_time);
}

TEST_F(ProgramFilesWin32, Sha256OfTheContentsWhileOthersWrite) {
  const struct {
    const wchar_t* name;
    std::string bytes;
    const char* sha256;
  } cases[] = {
      {L"abc.txt", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {L"empty.txt", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      // Many blocks, the last one short.
      {L"million.txt", std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    const std::wstring path = Write(c.name, c.bytes);
    EXPECT_EQ(files_api_.Sha256(Utf8(path)), c.sha256) << Utf8(path);
    // A writer that shares reading, writing and deleting does not stop it.
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(files_api_.Sha256(Utf8(path)), c.sha256) << Utf8(path) << " held by a writer";
    CloseHandle(writer);
  }
}

TEST_F(ProgramFilesWin32, NumbersAreGroupedAsTheLocaleSays) {
  // The test prefix's locale is US English.
  EXPECT_EQ(files_api_.Grouped(0), "0");
  EXPECT_EQ(files_api_.Grouped(999), "999");
  EXPECT_EQ(files_api_.Grouped(1000), "1,000");
  EXPECT_EQ(files_api_.Grouped(1234567), "1,234,567");
  EXPECT_EQ(files_api_.Grouped(~uint64_t(0)), "18,446,744,073,709,551,615");
}

TEST_F(ProgramFilesWin32, VariablesAreExpanded) {
  const std::string root = files_api_.Expand("%SystemRoot%\\x");
  EXPECT_EQ(CompareStringOrdinal(Wide(root).c_str(), 10, L"C:\\windows", 10, TRUE), CSTR_EQUAL) << root;
  EXPECT_TRUE(root.ends_with("\\x")) << root;

  const std::wstring long_value(5000, L'v');
  ASSERT_TRUE(SetEnvironmentVariableW(L"VELTRANE_FACTS_LONG", long_value.c_str()));
  ASSERT_TRUE(SetEnvironmentVariableW(L"VELTRANE_FACTS_CITY", L"Z\u00fcrich"));
  const struct {
    std::string text, expanded;
  } cases[] = {
      {"%VELTRANE_FACTS_LONG%!", Utf8(long_value) + "!"},  // longer than a first guess
      {"C:\\%VELTRANE_FACTS_CITY%\\a.exe", "C:\\Z\xC3\xBCrich\\a.exe"},
      {"%VELTRANE_NO_SUCH_VARIABLE%", "%VELTRANE_NO_SUCH_VARIABLE%"},
      {"", ""},
      {"C:\\bad\xFF%VELTRANE_FACTS_CITY%", "C:\\bad\xFF%VELTRANE_FACTS_CITY%"},  // not UTF-8: as it was
  };
  for (const auto& c : cases) EXPECT_EQ(files_api_.Expand(c.text), c.expanded) << c.text;
  SetEnvironmentVariableW(L"VELTRANE_FACTS_LONG", nullptr);
  SetEnvironmentVariableW(L"VELTRANE_FACTS_CITY", nullptr);
}

// A 32-bit program on 64-bit Windows finds SysWOW64 under the name System32;
// the program described must be the native one that name means to Windows.
// Run in a 32-bit prefix too, where System32 is the one folder.
TEST(PlatformWin64ProgramFiles, AProgramInTheNativeSystemFolderIsTheOneDescribed) {
  wchar_t folder[MAX_PATH];
  const bool sixty_four = GetSystemWow64DirectoryW(folder, MAX_PATH) != 0;
  const std::wstring name = L"veltrane-facts-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  const std::wstring native = std::wstring(L"C:\\Windows\\") + (sixty_four ? L"Sysnative\\" : L"System32\\") + name;
  const std::wstring namesake = L"C:\\Windows\\SysWOW64\\" + name;
  const std::wstring program = Beside(L"veltrane.exe");
  ASSERT_TRUE(CopyFileW(program.c_str(), native.c_str(), FALSE)) << GetLastError();
  if (sixty_four) ASSERT_TRUE(CopyFileW(Beside(L"opener.exe").c_str(), namesake.c_str(), FALSE)) << GetLastError();

  Win32ProgramFiles files;
  const std::string system32 = "C:\\Windows\\System32\\" + Utf8(name);
  const FileFacts facts = files.Facts(system32);
  EXPECT_TRUE(facts.exists);
  EXPECT_EQ(facts.size, SizeOf(program));
  EXPECT_EQ(facts.company, "Quorvik");
  const auto identity = files.Identity(system32);
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->size, SizeOf(program));
  EXPECT_EQ(files.Sha256(system32), files.Sha256(Utf8(program)));

  DeleteFileW(native.c_str());
  if (sixty_four) DeleteFileW(namesake.c_str());
}

}  // namespace
}  // namespace platform::win32
