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
// Reads

struct ReadCase {
  const char* name;
  std::optional<std::string> content;
  std::string section, key, fallback;
  std::string expected;
};

const ReadCase kReads[] = {
    {"plain", "[s]\r\nk=v\r\n", "s", "k", "d", "v"},
    {"missing file", kMissing, "s", "k", "d", "d"},
    {"empty file", "", "s", "k", "d", "d"},
    {"missing section", "[t]\r\nk=v\r\n", "s", "k", "d", "d"},
    {"missing key", "[s]\r\nj=v\r\n", "s", "k", "d", "d"},
    {"names ignore ASCII case", "[SeC]\r\nKeY=v\r\n", "sEc", "kEy", "d", "v"},
    {"non-ASCII letters keep their case", "[\xc5\xbb]\r\nk=v\r\n", "\xc5\xbc", "k", "d", "d"},
    {"non-ASCII names match as they are", "[za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87]\r\nk=v\r\n",
     "ZA\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", "k", "d", "v"},
    {"blanks around everything", "  [ s ]  \r\n \t k \t=\t v \t\r\n", " s ", "\tk ", "d", "v"},
    {"^Z, VT and FF are blanks", "[s]\r\nk=\x1a\x0b\x0cv\x1a\r\n", "s", "k", "d", "v"},
    {"other control bytes are not", "[s]\r\nk=\x1cv\x7f\r\n", "s", "k", "d", "\x1cv\x7f"},
    {"inner blanks of names count", "[a  b]\r\nk=v\r\n", "a b", "k", "d", "d"},
    {"double quotes go", "[s]\r\nk=\"v\"\r\n", "s", "k", "d", "v"},
    {"single quotes go", "[s]\r\nk='v'\r\n", "s", "k", "d", "v"},
    {"quotes after blanks go", "[s]\r\nk=  \"v\"  \r\n", "s", "k", "d", "v"},
    {"blanks inside quotes stay", "[s]\r\nk=\" v \"\r\n", "s", "k", "d", " v "},
    {"mismatched quotes stay", "[s]\r\nk=\"v'\r\n", "s", "k", "d", "\"v'"},
    {"opening quote alone stays", "[s]\r\nk=\"v\r\n", "s", "k", "d", "\"v"},
    {"closing quote alone stays", "[s]\r\nk=v\"\r\n", "s", "k", "d", "v\""},
    {"a lone quote stays", "[s]\r\nk=\"\r\n", "s", "k", "d", "\""},
    {"empty quotes", "[s]\r\nk=\"\"\r\n", "s", "k", "d", ""},
    {"only the outer pair goes", "[s]\r\nk=\"a\" \"b\"\r\n", "s", "k", "d", "a\" \"b"},
    {"names keep their quotes", "[s]\r\n\"k\"=v\r\n", "s", "k", "d", "d"},
    {"empty value", "[s]\r\nk=\r\n", "s", "k", "d", ""},
    {"'=' inside the value", "[s]\r\nk=a=b\r\n", "s", "k", "d", "a=b"},
    {"a key without '=' has no value", "[s]\r\nk\r\n", "s", "k", "d", "d"},
    {"and hides a later one", "[s]\r\nk\r\nk=v\r\n", "s", "k", "d", "d"},
    {"first of duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "d", "1"},
    {"first of duplicate sections", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "d", "1"},
    {"a later duplicate section is not seen", "[s]\r\nk=1\r\n[s]\r\nj=2\r\n", "s", "j", "d", "d"},
    {"comments are lines like others", "[s]\r\n;k=1\r\nk=2\r\n", "s", "k", "d", "2"},
    {"garbage lines", "[s]\r\njunk here\r\n[\r\n]]\r\nk=v\r\n", "s", "k", "d", "v"},
    {"'[' without ']' is no header", "[s]\r\n[abc=1\r\n", "s", "[abc", "d", "1"},
    {"text after the header", "[s] ; note\r\nk=v\r\n", "s", "k", "d", "v"},
    {"header up to the last ']'", "[a]b]\r\nk=v\r\n", "a]b", "k", "d", "v"},
    {"header must start the line", "x[s]\r\nk=v\r\n", "s", "k", "d", "d"},
    {"lines before any header", "k=top\r\n[s]\r\nk=v\r\n", "", "k", "d", "top"},
    {"...are in no named section", "k=top\r\n[s]\r\n", "s", "k", "d", "d"},
    {"LF lines", "[s]\nk=v\n", "s", "k", "d", "v"},
    {"CR lines", "[s]\rk=v\r", "s", "k", "d", "v"},
    {"a lone CR ends a line", "[s]\r\nj=1\rk=2\r\n", "s", "k", "d", "2"},
    {"no line break at the end", "[s]\r\nk=v", "s", "k", "d", "v"},
    {"numeric sections", "[0]\r\nwartosc=a\r\n[250]\r\nwartosc=b\r\n", "250", "wartosc", "err", "b"},
    {"numbers are compared as text", "[00]\r\nwartosc=a\r\n", "0", "wartosc", "err", "err"},
    {"value stops at NUL", "[s]\r\nk=v \0x\r\n"s, "s", "k", "d", "v "},
    {"name stops at NUL", "[s]\r\nk\0y=v\r\n"s, "s", "k", "d", "v"},
    {"NUL bytes elsewhere", "\0\0\r\n[s]\r\n\0=\0\r\nk=v\r\n"s, "s", "k", "d", "v"},
    {"asked names stop at NUL", "[s]\r\nk=v\r\n", "s\0t"s, "k\0j"s, "d", "v"},
    {"a very long line", "[s]\r\nj=" + std::string(200000, 'x') + "\r\nk=v\r\n", "s", "k", "d", "v"},
    {"long value is cut to 2047", "[s]\r\nk=" + std::string(3000, 'x') + "\r\n", "s", "k", "d",
     std::string(2047, 'x')},
    {"quoted 2047 fits", "[s]\r\nk=\"" + std::string(2047, 'x') + "\"\r\n", "s", "k", "d",
     std::string(2047, 'x')},
    {"quoted long value is cut", "[s]\r\nk=\"" + std::string(3000, 'x') + "\"\r\n", "s", "k", "d",
     std::string(2047, 'x')},
    {"UTF-8 byte order mark", "\xef\xbb\xbf[s]\r\nk=v\r\n", "s", "k", "d", "v"},
    {"UTF-16 files are not read", "\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s, "s", "k", "d", "d"},
    {"default: trailing spaces go", kMissing, "s", "k", "def  ", "def"},
    {"default: leading spaces stay", kMissing, "s", "k", "  def", "  def"},
    {"default: trailing tab stays", kMissing, "s", "k", "def\t", "def\t"},
    {"default: all spaces", kMissing, "s", "k", "   ", ""},
    {"default: quotes go", "[s]\r\n", "s", "k", "\"def\"", "def"},
    {"default: cut to 2047", kMissing, "s", "k", std::string(3000, 'y'), std::string(2047, 'y')},
    {"default: stops at NUL", kMissing, "s", "k", "err\0x"s, "err"},
};

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, MatchesTheProfileApi) {
  const ReadCase& c = GetParam();
  IniFile file;
  file.Put(c.content);
  IniStore store(file.files, kPath);
  EXPECT_EQ(store.ReadString(c.section, c.key, c.fallback), c.expected);
  // Reading never creates or changes the file.
  EXPECT_EQ(file.Get(), c.content);
}

std::string CaseName(const char* name) {
  std::string out;
  for (const char* p = name; *p; ++p) out += std::isalnum(uint8_t(*p)) ? *p : '_';
  return out;
}

INSTANTIATE_TEST_SUITE_P(Ini, IniRead, ::testing::ValuesIn(kReads),
                         [](const auto& info) { return std::to_string(info.index) + "_" + CaseName(info.param.name); });

// ---------------------------------------------------------------------------
// Writes and erases: every byte outside the changed line stays.

struct EditCase {
  const char* name;
  std::optional<std::string> content;
  bool erase;
  std::string section, key, value;
  std::optional<std::string> expected;
};

constexpr bool W = false, E = true;

const EditCase kEdits[] = {
    {"creates the file", kMissing, W, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"into an empty file", "", W, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"replaces one line only", "; c\r\n[s]\r\nk=old\r\nj=1\r\n\r\n[t]\r\nx=1\r\n", W, "s", "k", "v",
     "; c\r\n[s]\r\nk=v\r\nj=1\r\n\r\n[t]\r\nx=1\r\n"},
    {"keeps the key as the file spells it", "[s]\r\n  Key = old  \r\n", W, "S", "kEY", "v", "[s]\r\nKey=v\r\n"},
    {"keeps LF line breaks", "[s]\nk=old\n[t]\nx=1\n", W, "s", "k", "v", "[s]\nk=v\n[t]\nx=1\n"},
    {"keeps a missing last line break", "[s]\nk=old", W, "s", "k", "v", "[s]\nk=v"},
    {"adds a key after the section's last line", "[s]\r\nk=1\r\n\r\n[t]\r\n", W, "s", "j", "2",
     "[s]\r\nk=1\r\nj=2\r\n\r\n[t]\r\n"},
    {"after a comment ending the section", "[s]\r\nk=1\r\n;c\r\n[t]\r\n", W, "s", "j", "2",
     "[s]\r\nk=1\r\n;c\r\nj=2\r\n[t]\r\n"},
    {"new lines end in CR LF", "[s]\nk=1\n", W, "s", "j", "2", "[s]\nk=1\nj=2\r\n"},
    {"into an unterminated last line", "[s]\r\nk=1", W, "s", "j", "2", "[s]\r\nk=1\r\nj=2\r\n"},
    {"under a header on the last line", "[s]", W, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"adds a section at the end", "[s]\r\nk=1\r\n", W, "t", "j", "2", "[s]\r\nk=1\r\n[t]\r\nj=2\r\n"},
    {"after an unterminated last line", "[s]\r\nk=1", W, "t", "j", "2", "[s]\r\nk=1\r\n[t]\r\nj=2\r\n"},
    {"after blank lines", "[s]\r\n\r\n", W, "t", "j", "2", "[s]\r\n\r\n[t]\r\nj=2\r\n"},
    {"same value: file untouched", "[s]\r\nk = v\n", W, "s", "k", "v", "[s]\r\nk = v\n"},
    {"quoted value is not the same", "[s]\r\nk=\"v\"\r\n", W, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"into the first of duplicate sections", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", W, "s", "b", "v",
     "[s]\r\na=1\r\nb=v\r\n[s]\r\nb=2\r\n"},
    {"the first of duplicate keys", "[s]\r\na=1\r\na=2\r\n", W, "s", "a", "v", "[s]\r\na=v\r\na=2\r\n"},
    {"a key without '=' gets its value", "[s]\r\nk\r\n", W, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"value: leading blanks are kept in quotes", kMissing, W, "s", "k", " \tv", "[s]\r\nk=\" \tv\"\r\n"},
    {"value: trailing blanks are kept in quotes", kMissing, W, "s", "k", "v\x1a", "[s]\r\nk=\"v\x1a\"\r\n"},
    {"value: a quoted command line gets one more pair", kMissing, W, "s", "k", "\"C:\\a b\\x.exe\"",
     "[s]\r\nk=\"\"C:\\a b\\x.exe\"\"\r\n"},
    {"value: single quotes too", kMissing, W, "s", "k", "'v'", "[s]\r\nk=\"'v'\"\r\n"},
    {"value: quotes that read back stay bare", kMissing, W, "s", "k", "\"C:\\x.exe\" /min",
     "[s]\r\nk=\"C:\\x.exe\" /min\r\n"},
    {"value: a lone quote stays bare", kMissing, W, "s", "k", "\"", "[s]\r\nk=\"\r\n"},
    {"value: mismatched quotes stay bare", kMissing, W, "s", "k", "\"v'", "[s]\r\nk=\"v'\r\n"},
    {"value: protected value unchanged", "[s]\r\nk = \" v \"\r\n", W, "s", "k", " v ", "[s]\r\nk = \" v \"\r\n"},
    {"names: leading blanks go", kMissing, W, "  s", "\tk", "v", "[s]\r\nk=v\r\n"},
    {"quotes that a read would take are protected", kMissing, W, "s", "k", "\"a\" \"b\"",
     "[s]\r\nk=\"\"a\" \"b\"\"\r\n"},
    {"empty value", kMissing, W, "s", "k", "", "[s]\r\nk=\r\n"},
    {"NUL bytes of the file stay", "[s]\r\nq=\0z\r\n"s, W, "s", "k", "v", "[s]\r\nq=\0z\r\nk=v\r\n"s},
    {"text stops at NUL", kMissing, W, "s\0x"s, "k\0y"s, "v\0z"s, "[s]\r\nk=v\r\n"},
    {"byte order mark stays", "\xef\xbb\xbf[s]\r\n", W, "t", "k", "v", "\xef\xbb\xbf[s]\r\n[t]\r\nk=v\r\n"},
    {"ANSI bytes stay, new text is UTF-8", "[\xe6]\r\nk=\xb3\r\n", W, "\xc3\xa6", "j", "\xc5\x9b\xc3\xbf",
     "[\xe6]\r\nk=\xb3\r\nj=\xc5\x9b\xc3\xbf\r\n"},
    {"lines before any header", "x=0\r\n\r\n[t]\r\n", W, "", "k", "v", "x=0\r\nk=v\r\n\r\n[t]\r\n"},
    {"...even when there are none", "[t]\r\n", W, "", "k", "v", "k=v\r\n[t]\r\n"},
    {"erase up to the next header", "[t]\r\nb=2\r\n\r\n[s]\r\na=1\r\n\r\n;c\r\n[u]\r\n", E, "s", "", "",
     "[t]\r\nb=2\r\n\r\n[u]\r\n"},
    {"erase the last section", "[t]\nb=2\n[s]\na=1", E, "S", "", "", "[t]\nb=2\n"},
    {"erase the first of duplicates", "[s]\r\na=1\r\n[t]\r\n[S]\r\nc=3\r\n", E, "s", "", "",
     "[t]\r\n[S]\r\nc=3\r\n"},
    {"erase blanks around the name", "[s]\r\na=1\r\n", E, " s\t", "", "", ""},
    {"erase a missing section", "[t]\nb=2\n", E, "s", "", "", "[t]\nb=2\n"},
    {"erase in a missing file", kMissing, E, "s", "", "", kMissing},
    {"erase the lines before any header", "x=0\r\n\r\n[t]\r\n", E, "", "", "", "[t]\r\n"},
};

class IniEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(IniEdit, ChangesOnlyWhatItMust) {
  const EditCase& c = GetParam();
  IniFile file;
  file.Put(c.content);
  IniStore store(file.files, kPath);
  if (c.erase) {
    store.EraseSection(c.section);
  } else {
    store.WriteString(c.section, c.key, c.value);
  }
  EXPECT_EQ(file.Get(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Ini, IniEdit, ::testing::ValuesIn(kEdits),
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
