// The INI store: profile-file reads and writes over real files (the portable
// backend), plus an in-memory Files for failures and for the parsed copy.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "tests/doubles/portable/portable.h"
#include "registry/ini_store.h"
#include "tests/support/ini_cases.h"
#include "tests/support/mem_files.h"

namespace registry {
namespace {

using namespace std::string_literals;
using platform::portable::PortableFiles;
using platform::portable::ScratchFolder;

constexpr const char* kPath = "C:\\Windows\\list.vlt";
constexpr const char* kError = "Unable to write to C:\\Windows\\list.vlt";

// A data file under a fresh stand-in for drive C:.
class IniFile {
 public:
  IniFile() : files(scratch.path()) { std::filesystem::create_directories(scratch.path() / "Windows"); }

  void Put(const std::optional<std::string>& content) {
    if (content) {
      ASSERT_TRUE(files.Replace(kPath, *content));
    } else {
      files.Delete(kPath);
    }
  }
  std::optional<std::string> Get() { return files.ReadAll(kPath); }

  ScratchFolder scratch;
  PortableFiles files;
};

using testing_support::MemFiles;

const std::optional<std::string> kMissing;

void ExpectWriteError(const std::function<void()>& op) {
  try {
    op();
    ADD_FAILURE() << "no WriteError";
  } catch (const WriteError& e) {
    EXPECT_STREQ(e.what(), kError);
  }
}

// ---------------------------------------------------------------------------
// The shared table of reads, writes and erases (tests/support/ini_cases.h),
// which the Windows build also runs against the profile API.

using testing_support::IniCase;

std::string CaseName(const char* name) {
  std::string out;
  for (const char* p = name; *p; ++p) out += std::isalnum(uint8_t(*p)) ? *p : '_';
  return out;
}

class IniCases : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniCases, ReadOrChangeOnlyWhatTheyMust) {
  const IniCase& c = GetParam();
  IniFile file;
  file.Put(c.content);
  IniStore store(file.files, kPath);
  if (c.op == testing_support::kRead) {
    EXPECT_EQ(store.ReadString(c.section, c.key, c.arg), c.expected);
    // Reading never creates or changes the file.
    EXPECT_EQ(file.Get(), c.content);
    return;
  }
  bool refused = false;
  try {
    if (c.op == testing_support::kWrite)
      store.WriteString(c.section, c.key, c.arg);
    else
      store.EraseSection(c.section);
  } catch (const WriteError& e) {
    refused = true;
    EXPECT_STREQ(e.what(), kError);
  }
  EXPECT_EQ(refused, c.differs == testing_support::kRefused);
  EXPECT_EQ(file.Get(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ini, IniCases, ::testing::ValuesIn(testing_support::kIniCases),
                         [](const auto& info) { return std::to_string(info.index) + "_" + CaseName(info.param.name); });

// ---------------------------------------------------------------------------
// Round trips

// Whatever is written reads back exactly, and through a fresh store too.
TEST(IniRoundTrip, WrittenValuesReadBackExactly) {
  const std::string kValues[] = {
      "C:\\Program Files\\Veltrane\\veltrane.exe",
      "\"C:\\Program Files\\App\\app.exe\"",
      "\"C:\\a.exe\" \"x\"",
      "\"C:\\Program Files\\x.exe\" /min",
      "'single'",
      "\"'mixed'\"",
      "\"\"",
      "''",
      "\"",
      "'",
      "\"\"\"",
      "x\"",
      "  padded  ",
      " \"quoted with blank\"",
      "\t\x0b\x0c\x1a",
      "a = b ; c [d] #e",
      "[not a header]",
      "\xc5\x82\xc3\xb3\xc5\xbc\xc4\x87 \xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87 \xce\xa3 \xe8\x87\xaa \xf0\x9f\x98\x80",
      "\xef\xbb\xbf",
      "tab\tinside",
      "",
      " ",
      std::string(2047, 'z'),
      " " + std::string(2046, 'z'),
      "\"" + std::string(2045, 'z') + "\"",
      "1",
      "0",
  };
  IniFile file;
  IniStore store(file.files, kPath);
  for (const auto& v : kValues) {
    store.WriteString("slot", "wartosc", v);
    EXPECT_EQ(store.ReadString("slot", "wartosc", "err"), v) << v;
    EXPECT_EQ(IniStore(file.files, kPath).ReadString("slot", "wartosc", "err"), v) << v;
  }
}

TEST(IniRoundTrip, ValuesThatReadBackAreWrittenBare) {
  IniFile file;
  IniStore store(file.files, kPath);
  store.WriteString("glowna", "auto_start", "1");
  store.WriteString("0", "wartosc", "C:\\Program Files\\Veltrane\\veltrane.exe");
  EXPECT_EQ(file.Get(), "[glowna]\r\nauto_start=1\r\n[0]\r\nwartosc=C:\\Program Files\\Veltrane\\veltrane.exe\r\n");
}

TEST(IniRoundTrip, AFullListFile) {
  IniFile file;
  IniStore store(file.files, kPath);
  for (int n = 0; n <= 250; ++n) {
    std::string slot = std::to_string(n);
    store.WriteString(slot, "numer", slot);
    store.WriteString(slot, "nazwa", "Entry " + slot);
    store.WriteString(slot, "sekcja", "HKLM_run");
    store.WriteString(slot, "wartosc", "C:\\Apps\\app" + slot + ".exe");
  }
  for (int n = 0; n <= 250; n += 2) store.EraseSection(std::to_string(n));
  IniStore other(file.files, kPath);
  for (int n = 0; n <= 250; ++n) {
    std::string slot = std::to_string(n);
    std::string expected = n % 2 ? "C:\\Apps\\app" + slot + ".exe" : "err";
    EXPECT_EQ(other.ReadString(slot, "wartosc", "err"), expected);
    EXPECT_EQ(other.ReadString(slot, "NAZWA", "err"), n % 2 ? "Entry " + slot : "err");
  }
  auto text = file.Get();
  ASSERT_TRUE(text);
  EXPECT_EQ(text->substr(0, 49), "[1]\r\nnumer=1\r\nnazwa=Entry 1\r\nsekcja=HKLM_run\r\nwar");
}

TEST(IniRoundTrip, EraseUncoversALaterDuplicate) {
  IniFile file;
  file.Put("[s]\r\nk=1\r\n[s]\r\nk=2\r\n");
  IniStore store(file.files, kPath);
  store.EraseSection("s");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "2");
  store.EraseSection("s");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
  EXPECT_EQ(file.Get(), "");
}

// ---------------------------------------------------------------------------
// Text that would break the file's structure is refused, not written.

struct Refused {
  const char* why;
  std::string section, key, value;
};

const Refused kRefused[] = {
    {"CR LF in value", "s", "k", "a\r\nb"},
    {"LF in value", "s", "k", "a\n[x]"},
    {"CR in value", "s", "k", "a\rb"},
    {"line break ending value", "s", "k", "a\n"},
    {"LF in key", "s", "a\nb", "v"},
    {"CR in key", "s", "a\r", "v"},
    {"LF in section", "a\nb", "k", "v"},
    {"CR in section", "\rs", "k", "v"},
    {"']' in section", "a]b", "k", "v"},
    {"section of one ']'", "]", "k", "v"},
    {"'=' in key", "s", "a=b", "v"},
    {"key of one '='", "s", "=", "v"},
    {"key starting with '['", "s", "[k", "v]"},
    {"key starting with '[' after blanks", "s", " \t[k", "v"},
};

TEST(IniRefused, LineBreaksAndSeparatorsInNames) {
  for (const auto& c : kRefused) {
    for (const std::optional<std::string>& before :
         {kMissing, std::optional<std::string>("[s]\r\nk=1\r\n")}) {
      IniFile file;
      file.Put(before);
      IniStore store(file.files, kPath);
      try {
        store.WriteString(c.section, c.key, c.value);
        ADD_FAILURE() << c.why << ": written";
      } catch (const WriteError& e) {
        EXPECT_STREQ(e.what(), kError) << c.why;
        EXPECT_EQ(e.path(), kPath);
      }
      EXPECT_EQ(file.Get(), before) << c.why;
    }
  }
}

TEST(IniRefused, ValuesLongerThanAReadReturns) {
  for (const std::optional<std::string>& before : {kMissing, std::optional<std::string>("[s]\r\nk=1\r\n")}) {
    IniFile file;
    file.Put(before);
    IniStore store(file.files, kPath);
    ExpectWriteError([&] { store.WriteString("s", "k", std::string(2048, 'x')); });
    ExpectWriteError([&] { store.WriteString("s", "j", std::string(100000, 'x')); });
    EXPECT_EQ(file.Get(), before);
  }
  // What comes after a NUL is not written, so it does not count.
  IniFile file;
  IniStore store(file.files, kPath);
  store.WriteString("s", "k", std::string(2047, 'x') + '\0' + std::string(10, 'y'));
  EXPECT_EQ(store.ReadString("s", "k", "d"), std::string(2047, 'x'));
}

TEST(IniRefused, AKeyThatWouldStartTheFileWithAByteOrderMark) {
  for (const char* mark : {"\xef\xbb\xbf", "\xff\xfe", "\xfe\xff"}) {
    IniFile file;
    file.Put("[s]\r\n");
    IniStore store(file.files, kPath);
    ExpectWriteError([&] { store.WriteString("", std::string(mark) + "k", "v"); });
    EXPECT_EQ(file.Get(), "[s]\r\n");
    // Nor may a line at the start take one when rewritten.
    file.Put(" " + std::string(mark) + "k=1\r\n");
    ExpectWriteError([&] { store.WriteString("", std::string(mark) + "k", "2"); });
    EXPECT_EQ(file.Get(), " " + std::string(mark) + "k=1\r\n");
    file.Put("[s]\r\n");
    // Anywhere else such a key is only text, when it is text at all.
    if (std::string_view(mark) == "\xef\xbb\xbf") {
      store.WriteString("s", std::string(mark) + "k", "v");
      EXPECT_EQ(store.ReadString("s", std::string(mark) + "k", "d"), "v");
    } else {
      ExpectWriteError([&] { store.WriteString("s", std::string(mark) + "k", "v"); });
    }
  }
}

TEST(IniRefused, NeighboursOfRefusedTextAreFine) {
  IniFile file;
  IniStore store(file.files, kPath);
  store.WriteString("[a", "k]", "x=y]");
  store.WriteString("s", ";k", "v");
  store.WriteString("s", "", "empty key");
  EXPECT_EQ(store.ReadString("[a", "k]", "d"), "x=y]");
  EXPECT_EQ(store.ReadString("s", ";k", "d"), "v");
  EXPECT_EQ(store.ReadString("s", "", "d"), "empty key");
  EXPECT_EQ(file.Get(), "[[a]\r\nk]=x=y]\r\n[s]\r\n;k=v\r\n=empty key\r\n");
}

// ---------------------------------------------------------------------------
// Files that cannot be written

TEST(IniWriteError, ReadOnlyFile) {
  IniFile file;
  file.Put("[s]\r\nk=1\r\n");
  file.files.SetReadOnly(kPath);
  IniStore store(file.files, kPath);
  ExpectWriteError([&] { store.WriteString("s", "k", "2"); });
  ExpectWriteError([&] { store.WriteString("t", "k", "2"); });
  ExpectWriteError([&] { store.EraseSection("s"); });
  // Nothing to change needs no write, so it cannot fail.
  store.WriteString("s", "k", "1");
  store.EraseSection("missing");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  EXPECT_EQ(file.Get(), "[s]\r\nk=1\r\n");
}

TEST(IniWriteError, ReadOnlyFolderOnFirstWrite) {
  IniFile file;
  file.files.SetReadOnly("C:\\Windows");
  IniStore store(file.files, kPath);
  ExpectWriteError([&] { store.WriteString("s", "k", "v"); });
  EXPECT_FALSE(file.files.Exists(kPath));
}

TEST(IniWriteError, FailedReplaceLeavesTheOldFileWhole) {
  IniFile file;
  file.Put("[s]\r\nk=1\r\n");
  file.files.SetRenameFails(true);
  IniStore store(file.files, kPath);
  ExpectWriteError([&] { store.WriteString("s", "k", "2"); });
  EXPECT_EQ(file.Get(), "[s]\r\nk=1\r\n");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  // No temporary file is left behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(file.scratch.path() / "Windows")) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(IniWriteError, MissingFolder) {
  IniFile file;
  IniStore store(file.files, "C:\\NoSuchFolder\\x.vlt");
  try {
    store.WriteString("s", "k", "v");
    ADD_FAILURE() << "no WriteError";
  } catch (const WriteError& e) {
    EXPECT_STREQ(e.what(), "Unable to write to C:\\NoSuchFolder\\x.vlt");
  }
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
}

TEST(IniWriteError, AFileThatCannotBeReadIsNotReplaced) {
  MemFiles files;
  files.data[kPath] = "[s]\r\nk=1\r\n";
  files.read_fails = true;
  IniStore store(files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
  ExpectWriteError([&] { store.WriteString("t", "k", "v"); });
  ExpectWriteError([&] { store.EraseSection("s"); });
  EXPECT_EQ(files.replaces, 0);
  EXPECT_EQ(files.data[kPath], "[s]\r\nk=1\r\n");
}

TEST(IniWriteError, AFolderInTheFilesPlace) {
  IniFile file;
  std::filesystem::create_directory(file.scratch.path() / "Windows" / "list.vlt");
  IniStore store(file.files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
  ExpectWriteError([&] { store.WriteString("s", "k", "v"); });
}

TEST(IniWriteError, UnicodeFilesAreNotMixedWithSingleBytes) {
  const std::string utf16 = "\xff\xfe[\0s\0]\0\r\0\n\0"s;
  IniFile file;
  file.Put(utf16);
  IniStore store(file.files, kPath);
  ExpectWriteError([&] { store.WriteString("s", "k", "v"); });
  store.EraseSection("s");  // finds nothing to erase
  EXPECT_EQ(file.Get(), utf16);
}

// ---------------------------------------------------------------------------
// Reads see the disk as it is now

TEST(IniFreshness, SameSizeRewriteByAnotherProgram) {
  IniFile file;
  file.Put("[s]\r\nk=1\r\n");
  IniStore store(file.files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  file.Put("[s]\r\nk=2\r\n");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "2");
  file.Put("[s]\r\nk=22\r\n");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "22");
}

TEST(IniFreshness, TouchedFileWithSameSize) {
  IniFile file;
  file.Put("[s]\r\nk=1\r\n");
  IniStore store(file.files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  // Another program writes in place: same size, a new time.
  auto host = *file.files.HostPath(kPath);
  auto when = std::filesystem::last_write_time(host);
  { std::ofstream(host, std::ios::binary) << "[s]\r\nk=3\r\n"; }
  std::filesystem::last_write_time(host, when + std::chrono::seconds(1));
  EXPECT_EQ(store.ReadString("s", "k", "d"), "3");
}

TEST(IniFreshness, DeletedAndRecreated) {
  IniFile file;
  file.Put("[s]\r\nk=1\r\n");
  IniStore store(file.files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  file.Put(kMissing);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
  file.Put("[s]\r\nk=5\r\n");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "5");
}

TEST(IniFreshness, TwoStoresOnOneFile) {
  IniFile file;
  IniStore a(file.files, kPath), b(file.files, kPath);
  a.WriteString("0", "sciezka", "x");
  EXPECT_EQ(b.ReadString("0", "sciezka", "err"), "x");
  b.WriteString("1", "sciezka", "y");
  a.WriteString("0", "sciezka", "z");  // must not lose b's slot
  EXPECT_EQ(a.ReadString("1", "sciezka", "err"), "y");
  b.EraseSection("0");
  EXPECT_EQ(a.ReadString("0", "sciezka", "err"), "err");
  EXPECT_EQ(file.Get(), "[1]\r\nsciezka=y\r\n");
}

// ---------------------------------------------------------------------------
// The parsed copy

TEST(IniParsedCopy, ManyReadsParseOnce) {
  MemFiles files;
  std::string text;
  for (int n = 0; n <= 250; ++n) text += "[" + std::to_string(n) + "]\r\nwartosc=v" + std::to_string(n) + "\r\n";
  files.data[kPath] = text;
  IniStore store(files, kPath);
  for (int n = 0; n <= 250; ++n) {
    EXPECT_EQ(store.ReadString(std::to_string(n), "wartosc", "err"), "v" + std::to_string(n));
  }
  EXPECT_EQ(files.reads, 1);
  EXPECT_EQ(files.stats, 251);
}

TEST(IniParsedCopy, ChangedStampMeansReread) {
  MemFiles files;
  files.data[kPath] = "[s]\r\nk=1\r\n";
  IniStore store(files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  files.data[kPath] = "[s]\r\nk=2\r\n";
  ++files.mtime;
  EXPECT_EQ(store.ReadString("s", "k", "d"), "2");
  files.data[kPath] = "[s]\r\nk=33\r\n";  // size alone tells
  EXPECT_EQ(store.ReadString("s", "k", "d"), "33");
  EXPECT_EQ(files.reads, 3);
}

TEST(IniParsedCopy, OwnWritesAreSeenWhateverTheClock) {
  MemFiles files;
  files.frozen_clock = true;
  files.data[kPath] = "[s]\r\nk=1\r\n";
  IniStore store(files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  store.WriteString("s", "k", "2");  // same size, same time
  EXPECT_EQ(store.ReadString("s", "k", "d"), "2");
  store.EraseSection("s");
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
}

TEST(IniParsedCopy, WritesStartFromTheDiskNotTheCopy) {
  MemFiles files;
  files.frozen_clock = true;
  files.data[kPath] = "[s]\r\nk=1\r\n";
  IniStore store(files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "1");
  // Another program's change that the stamp cannot show.
  files.data[kPath] = "[s]\r\nk=9\r\n";
  store.WriteString("t", "j", "2");
  EXPECT_EQ(files.data[kPath], "[s]\r\nk=9\r\n[t]\r\nj=2\r\n");
  files.data[kPath] = "[s]\r\nk=8\r\n[t]\r\nj=2\r\n";
  store.EraseSection("t");
  EXPECT_EQ(files.data[kPath], "[s]\r\nk=8\r\n");
}

TEST(IniParsedCopy, NothingIsReadOrCreatedUntilUsed) {
  MemFiles files;
  { IniStore store(files, kPath); }
  EXPECT_EQ(files.stats + files.reads + files.replaces, 0);
  IniStore store(files, kPath);
  EXPECT_EQ(store.ReadString("s", "k", "d"), "d");
  store.EraseSection("s");
  EXPECT_TRUE(files.data.empty());
  EXPECT_EQ(files.replaces, 0);
}

// ---------------------------------------------------------------------------
// Encodings: text is UTF-8 on both sides; lists written before hold text in
// the system's ANSI code page, and each value decides for itself.

// "Ключ" and others, in UTF-8 and in their ANSI code pages.
const std::string kKeyUtf8 = "\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87";
const std::string kKey1251 = "\xca\xeb\xfe\xf7";

TEST(IniEncoding, EachValueIsUtf8OrTheAnsiCodePage) {
  struct Case {
    unsigned code_page;
    std::string in_file, read;
  } cases[] = {
      {1251, kKey1251, kKeyUtf8},
      {1251, kKeyUtf8, kKeyUtf8},
      {1250, "za\xbf\xf3\xb3\xe6", "za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87"},
      {1252, "caf\xe9 \x80", "caf\xc3\xa9 \xe2\x82\xac"},
      {1253, "\xd3\xfd\xf3\xf4\xe7\xec\xe1", "\xce\xa3\xcf\x8d\xcf\x83\xcf\x84\xce\xb7\xce\xbc\xce\xb1"},
      // Bytes that happen to be UTF-8 are taken for it: the rule is per value.
      {1252, "\xc3\xa9", "\xc3\xa9"},
      {1252, "\"" + kKey1251 + "\"", "\xc3\x8a\xc3\xab\xc3\xbe\xc3\xb7"},
  };
  for (const Case& c : cases) {
    MemFiles files;
    files.code_page = c.code_page;
    files.data[kPath] = "[0]\r\nsciezka=" + c.in_file + "\r\nascii=C:\\x.exe\r\n";
    IniStore store(files, kPath);
    EXPECT_EQ(store.ReadString("0", "sciezka", "err"), c.read) << c.code_page << " " << c.in_file;
    EXPECT_EQ(store.ReadString("0", "ascii", "err"), "C:\\x.exe");
  }
}

TEST(IniEncoding, OldAnsiAndNewUtf8EntriesMixInOneList) {
  MemFiles files;
  files.code_page = 1251;
  const std::string old_file = "[0]\r\nsciezka=C:\\" + kKey1251 + ".exe\r\n[\xcf]\r\nk=1\r\n";
  files.data[kPath] = old_file;
  IniStore store(files, kPath);
  store.WriteString("1", "sciezka", "C:\\" + kKeyUtf8 + ".exe");
  // The old line is left as it was; the new one is UTF-8 without a mark.
  EXPECT_EQ(files.data[kPath], old_file + "[1]\r\nsciezka=C:\\" + kKeyUtf8 + ".exe\r\n");
  EXPECT_EQ(store.ReadString("0", "sciezka", "err"), store.ReadString("1", "sciezka", "err"));
  // Names in the code page are found by their UTF-8 text ("П").
  EXPECT_EQ(store.ReadString("\xd0\x9f", "k", "d"), "1");
  store.WriteString("\xd0\x9f", "k", "2");
  EXPECT_EQ(files.data[kPath], old_file.substr(0, old_file.size() - 3) + "2\r\n" + "[1]\r\nsciezka=C:\\" + kKeyUtf8 +
                                   ".exe\r\n");
  // Rewriting an old value stores it as UTF-8.
  store.WriteString("0", "sciezka", "C:\\" + kKeyUtf8 + ".exe");
  const std::string rewritten = "[0]\r\nsciezka=C:\\" + kKeyUtf8 + ".exe\r\n";
  EXPECT_EQ(files.data[kPath].substr(0, rewritten.size()), rewritten);
}

TEST(IniEncoding, TextThatIsNotUtf8IsNeverWritten) {
  const std::string before = "[s]\r\nk=1\r\n";
  const std::string bad[] = {kKey1251, "\xc0\xaf", "x\xff"};
  for (const std::string& text : bad) {
    IniFile file;
    file.Put(before);
    IniStore store(file.files, kPath);
    ExpectWriteError([&] { store.WriteString("s", "k", text); });
    ExpectWriteError([&] { store.WriteString("s", text, "v"); });
    ExpectWriteError([&] { store.WriteString(text, "k", "v"); });
    EXPECT_EQ(file.Get(), before);
  }
}

TEST(IniEncoding, LengthsAreCharactersNotBytes) {
  const std::string zhe = "\xd0\x96";            // two bytes, one character
  const std::string smile = "\xf0\x9f\x98\x80";  // four bytes, two characters
  std::string cyrillic_2047;
  for (int i = 0; i < 2047; ++i) cyrillic_2047 += zhe;
  MemFiles files;
  IniStore store(files, kPath);
  store.WriteString("s", "k", cyrillic_2047);
  EXPECT_EQ(store.ReadString("s", "k", "d"), cyrillic_2047);
  ExpectWriteError([&] { store.WriteString("s", "k", cyrillic_2047 + zhe); });
  ExpectWriteError([&] { store.WriteString("s", "k", std::string(2046, 'x') + smile); });
  // Reads are cut to 2047 characters, never inside one.
  files.data[kPath] = "[s]\r\nk=" + std::string(2046, 'x') + smile + "\r\nj=" + std::string(3000, '\xe9') + "\r\n";
  EXPECT_EQ(store.ReadString("s", "k", "d"), std::string(2046, 'x'));
  std::string e_acute_2047;
  for (int i = 0; i < 2047; ++i) e_acute_2047 += "\xc3\xa9";
  EXPECT_EQ(store.ReadString("s", "j", "d"), e_acute_2047);
}

}  // namespace
}  // namespace registry
