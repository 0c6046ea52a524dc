// The INI store against the Win32 profile API itself: each case runs through
// GetPrivateProfileStringW (the text as UTF-8) or WritePrivateProfileStringA
// on one temp file and through IniStore (over the win32 Files backend) on
// another with the same bytes, and the results are compared: the returned
// text, and for writes the file's bytes and what the profile API reads from
// both files afterwards. Writes go through the ...A function because the
// store writes bytes: ASCII as it is, other text as UTF-8.
//
// Text that is not ASCII is where the store means to differ: Windows reads a
// file without a byte order mark wholly in the ANSI code page, the store
// reads each name and value that is UTF-8 as UTF-8 and only the others in
// the ANSI code page (lists written before UTF-8), and it never writes text
// that is not UTF-8. The Wine runs pin the locale (scripts set LC_ALL), so
// that the ANSI code page is Western (1252) and these cases hold.
//
// Wine rewrites the whole file on every write (blank lines dropped, blanks
// trimmed, CR LF everywhere) where Windows changes only the line concerned;
// the store does what Windows does. Cases marked kWineOnly check that under
// Wine, and expect the store and the API to agree on Windows.
//
// Values that the reading rules would change (blanks around them, wholly
// quoted) the store writes inside one more pair of double quotes, where the
// API writes them bare and reads back something else: those kProtected cases
// check the store's bytes and that the API itself reads the written value
// back from the store's file.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "platform/win32/win32_files.h"
#include "registry/ini_store.h"

namespace registry {
namespace {

using namespace std::string_literals;

enum Op { kRead, kWrite, kErase };

enum Differs {
  kSame,      // the store gives what the API gives
  kRefused,   // the store refuses the write (WriteError) and leaves the file
  kByDesign,  // the store gives `engine` on purpose; the API (under Wine) `wine`
  kWineOnly,  // Wine's API gives `wine`; Windows and the store give `engine`
  kProtected, // the store writes `engine`, which the API reads back as written
};

struct DiffCase {
  const char* name;
  std::optional<std::string> content;  // nullopt: no file
  Op op;
  std::string section, key;
  std::string arg;  // the default of a read, the value of a write
  Differs differs = kSame;
  const char* why = "";
  std::optional<std::string> engine = {};  // read result, or file bytes after
  std::optional<std::string> wine = {};    // the same from Wine's API, where known
};

const std::optional<std::string> kNoFile;
const std::string kLong(3000, 'x');
const std::string k2046(2046, 'x');
const std::string k2047(2047, 'x');
const std::string k2047Cyrillic = [] {
  std::string s;
  for (int i = 0; i < 2047; ++i) s += "\xd0\x96";
  return s;
}();

const DiffCase kCases[] = {
    // Finding things.
    {"plain", "[s]\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"no file", kNoFile, kRead, "s", "k", "d"},
    {"empty file", "", kRead, "s", "k", "d"},
    {"no section", "[t]\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"no key", "[s]\r\nj=v\r\n", kRead, "s", "k", "d"},
    {"case of names", "[SeC]\r\nKeY=v\r\n", kRead, "sEc", "kEy", "d"},
    {"case of non-ASCII names", "[\xc5]\r\nk=v\r\n", kRead, "\xc3\xa5", "k", "d"},
    {"blanks around names and '='", "  [s]  \r\n \t k \t=\t v \t\r\n", kRead, " s ", "\tk ", "d"},
    {"blanks inside the brackets", "[ s ]\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"blanks inside a name", "[a  b]\r\nk=v\r\n", kRead, "a b", "k", "d"},
    {"^Z VT FF are blanks", "[s]\r\nk=\x1a\x0b\x0cv\x1a\x0c\r\n", kRead, "s", "k", "d"},
    {"other control bytes", "[s]\r\nk=\x1c\x1dv\x1e\x1f\x7f\r\n", kRead, "s", "k", "d"},
    {"no-break space", "[s]\r\nk=\xa0v\xa0\r\n", kRead, "s", "k", "d"},
    // Quotes.
    {"double quotes", "[s]\r\nk=\"v\"\r\n", kRead, "s", "k", "d"},
    {"single quotes", "[s]\r\nk='v'\r\n", kRead, "s", "k", "d"},
    {"mismatched quotes", "[s]\r\nk=\"v'\r\n", kRead, "s", "k", "d"},
    {"quote at the start only", "[s]\r\nk=\"v\r\n", kRead, "s", "k", "d"},
    {"quote at the end only", "[s]\r\nk=v\"\r\n", kRead, "s", "k", "d"},
    {"a lone quote", "[s]\r\nk=\"\r\n", kRead, "s", "k", "d"},
    {"value \"\"", "[s]\r\nk=\"\"\r\n", kRead, "s", "k", "d"},
    {"value ''", "[s]\r\nk=''\r\n", kRead, "s", "k", "d"},
    {"value \"a\" \"b\"", "[s]\r\nk=\"a\" \"b\"\r\n", kRead, "s", "k", "d"},
    {"inner quotes", "[s]\r\nk=a \"b\" c\r\n", kRead, "s", "k", "d"},
    {"blanks inside quotes", "[s]\r\nk=\" v \"\r\n", kRead, "s", "k", "d"},
    {"blanks outside quotes", "[s]\r\nk=  \"v\"  \r\n", kRead, "s", "k", "d"},
    {"quoted key name", "[s]\r\n\"k\"=v\r\n", kRead, "s", "k", "d"},
    {"quoted key name asked quoted", "[s]\r\n\"k\"=v\r\n", kRead, "s", "\"k\"", "d"},
    {"quoted section name", "[\"s\"]\r\nk=v\r\n", kRead, "s", "k", "d"},
    // Lines of all kinds.
    {"empty value", "[s]\r\nk=\r\n", kRead, "s", "k", "d"},
    {"'=' in the value", "[s]\r\nk=a=b\r\n", kRead, "s", "k", "d"},
    {"key without '='", "[s]\r\nk\r\n", kRead, "s", "k", "d"},
    {"key without '=' first", "[s]\r\nk\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"empty key", "[s]\r\n=v\r\n", kRead, "s", "", "d"},
    {"duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", kRead, "s", "k", "d"},
    {"duplicate sections", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", kRead, "s", "k", "d"},
    {"key in the later duplicate", "[s]\r\nk=1\r\n[s]\r\nj=2\r\n", kRead, "s", "j", "d"},
    {"comment before the key", "[s]\r\n;k=1\r\nk=2\r\n", kRead, "s", "k", "d"},
    {"comment line asked for", "[s]\r\n;k=1\r\n", kRead, "s", ";k", "d"},
    {"garbage lines", "[s]\r\njunk here\r\n]]\r\n[\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"'[' without ']'", "[s]\r\n[abc=1\r\n", kRead, "s", "[abc", "d"},
    {"text after the header", "[s] ; note\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"']' inside a header", "[a]b]\r\nk=v\r\n", kRead, "a]b", "k", "d"},
    {"'[' inside a header", "[[a]\r\nk=v\r\n", kRead, "[a", "k", "d"},
    {"header not at the start", "x[s]\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"keys before any header", "k=top\r\n[s]\r\nk=v\r\n", kRead, "", "k", "d"},
    {"empty header", "[]\r\nk=v\r\n", kRead, "", "k", "d"},
    {"LF file", "[s]\nk=v\n", kRead, "s", "k", "d"},
    {"CR file", "[s]\rk=v\r", kRead, "s", "k", "d"},
    {"lone CR inside", "[s]\r\nj=1\rk=2\r\n", kRead, "s", "k", "d"},
    {"LF CR", "[s]\n\rk=v\n\r", kRead, "s", "k", "d"},
    {"no line break at the end", "[s]\r\nk=v", kRead, "s", "k", "d"},
    {"NUL in a value", "[s]\r\nk=v \0x\r\n"s, kRead, "s", "k", "d"},
    {"NUL in a key", "[s]\r\nk\0y=v\r\n"s, kRead, "s", "k", "d"},
    {"NUL in a header", "[s\0t]\r\nk=v\r\n"s, kRead, "s", "k", "d"},
    {"NUL lines", "\0\0\r\n[s]\r\n\0=\0\r\nk=v\r\n"s, kRead, "s", "k", "d"},
    {"very long line", "[s]\r\nj=" + std::string(100000, 'x') + "\r\nk=v\r\n", kRead, "s", "k", "d"},
    // Odd section names.
    {"numeric sections", "[0]\r\nwartosc=a\r\n[250]\r\nwartosc=b\r\n", kRead, "250", "wartosc", "err"},
    {"leading zero", "[00]\r\nwartosc=a\r\n", kRead, "0", "wartosc", "err"},
    {"UTF-8 bytes in names", "[za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87]\r\nk=v\r\n", kRead,
     "ZA\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", "k", "d", kByDesign,
     "a UTF-8 name is read as UTF-8, where Windows reads the file in the ANSI code page", "v", "d"},
    {"ANSI bytes in names and values", "[\xe6]\r\nk=\x81\x8d\x8f\x90\x9d\xff\r\n", kRead, "\xc3\xa6", "k", "d"},
    {"ANSI value", "[s]\r\nk=caf\xe9 \x80\r\n", kRead, "s", "k", "d"},
    {"UTF-8 value", "[s]\r\nk=\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87\r\n", kRead, "s", "k", "d", kByDesign,
     "a UTF-8 value is read as UTF-8, where Windows reads the file in the ANSI code page",
     "\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87"},
    {"ANSI and UTF-8 values in one file", "[s]\r\nj=\xc5\xbc\r\nk=\xe9\r\n", kRead, "s", "k", "d"},
    {"long ANSI value", "[s]\r\nk=" + std::string(3000, '\xe9') + "\r\n", kRead, "s", "k", "d"},
    // Lengths.
    {"long value", "[s]\r\nk=" + kLong + "\r\n", kRead, "s", "k", "d"},
    {"quoted 2046", "[s]\r\nk=\"" + k2046 + "\"\r\n", kRead, "s", "k", "d"},
    {"quoted 2047", "[s]\r\nk=\"" + k2047 + "\"\r\n", kRead, "s", "k", "d", kWineOnly,
     "Wine's quote removal loses the last character when the text fills the buffer exactly",
     k2047, k2046},
    {"quoted long value", "[s]\r\nk=\"" + kLong + "\"\r\n", kRead, "s", "k", "d"},
    {"long default", kNoFile, kRead, "s", "k", kLong},
    // Defaults.
    {"default: trailing spaces", "[s]\r\n", kRead, "s", "k", "def  "},
    {"default: leading spaces", "[s]\r\n", kRead, "s", "k", "  def"},
    {"default: trailing tab", "[s]\r\n", kRead, "s", "k", "def\t"},
    {"default: quoted", "[s]\r\n", kRead, "s", "k", "\"def\""},
    {"default: quoted, no file", kNoFile, kRead, "s", "k", "'def'"},
    {"default: empty", "[s]\r\n", kRead, "s", "k", ""},
    {"default: only spaces", "[s]\r\n", kRead, "s", "k", "   ", kWineOnly,
     "Windows strips all trailing blanks of the default; Wine keeps one of an all-blank default",
     "", " "},
    // Encodings.
    {"UTF-8 byte order mark", "\xef\xbb\xbf[s]\r\nk=v\r\n", kRead, "s", "k", "d"},
    {"UTF-8 text after a mark", "\xef\xbb\xbf[s]\r\nk=\xc5\xbc\r\n", kRead, "s", "k", "d"},
    {"UTF-16 file", "\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s, kRead, "s", "k", "d", kByDesign,
     "the store reads single-byte files only", "d", "v"},

    // Writes.
    {"write: new file", kNoFile, kWrite, "s", "k", "v"},
    {"write: empty file", "", kWrite, "s", "k", "v"},
    {"write: replace", "[s]\r\nk=old\r\n[t]\r\nx=1\r\n", kWrite, "s", "k", "v"},
    {"write: replace, other case", "[s]\r\nKey=old\r\n", kWrite, "S", "kEY", "v"},
    {"write: replace, blanks", "[s]\r\n  k = old  \r\n", kWrite, "s", "k", "v"},
    {"write: add key", "[s]\r\nk=old\r\n[t]\r\nx=1\r\n", kWrite, "s", "j", "v"},
    {"write: add key, no last break", "[s]\r\nk=old", kWrite, "s", "j", "v"},
    {"write: header only", "[s]", kWrite, "s", "k", "v"},
    {"write: add key after comment", "[s]\r\nk=1\r\n;c\r\n[t]\r\n", kWrite, "s", "j", "2"},
    {"write: add section", "[s]\r\nk=old\r\n", kWrite, "t", "j", "v"},
    {"write: add section, no last break", "[s]\r\nk=old", kWrite, "t", "j", "v"},
    {"write: same value", "[s]\r\nk = v\n", kWrite, "s", "k", "v"},
    {"write: same text unquoted", "[s]\r\nk=\"v\"\r\n", kWrite, "s", "k", "v"},
    {"write: value with trailing blank", "[s]\r\nk=v\r\n", kWrite, "s", "k", "v ", kProtected,
     "the API would write it bare and read back \"v\"", "[s]\r\nk=\"v \"\r\n"},
    {"write: blanks around value", "[s]\r\n", kWrite, "s", "k", " \t v  ", kProtected,
     "the API would drop the blanks", "[s]\r\nk=\" \t v  \"\r\n"},
    {"write: blanks around key", "[s]\r\n", kWrite, "s", "  k  ", "v"},
    {"write: blanks around section", "[s]\r\n", kWrite, "  t  ", "k", "v"},
    {"write: empty key", "[s]\r\n", kWrite, "s", "", "v"},
    {"write: blank key", "[s]\r\n", kWrite, "s", "   ", "v"},
    {"write: empty value", kNoFile, kWrite, "s", "k", ""},
    {"write: quoted value", kNoFile, kWrite, "s", "k", "\"v\"", kProtected,
     "the API would read back v without its quotes", "[s]\r\nk=\"\"v\"\"\r\n"},
    {"write: value \"a\" \"b\"", kNoFile, kWrite, "s", "k", "\"a\" \"b\"", kProtected,
     "the API would read back a\" \"b", "[s]\r\nk=\"\"a\" \"b\"\"\r\n"},
    {"write: quoted path", kNoFile, kWrite, "0", "wartosc", "\"C:\\Program Files\\App\\app.exe\"", kProtected,
     "a quoted command line would lose its quotes and never match again",
     "[0]\r\nwartosc=\"\"C:\\Program Files\\App\\app.exe\"\"\r\n"},
    {"write: single-quoted value", "[s]\r\nk=1\r\n", kWrite, "s", "k", "'v'", kProtected,
     "the API would read back v without its quotes", "[s]\r\nk=\"'v'\"\r\n"},
    {"write: quoted, then an argument", kNoFile, kWrite, "s", "k", "\"C:\\x.exe\" /min"},
    {"write: 2047 characters", kNoFile, kWrite, "s", "k", k2047},
    {"write: long value", kNoFile, kWrite, "s", "k", kLong, kRefused,
     "no read returns more than 2047 characters, so it could never be read back whole", kNoFile,
     "[s]\r\nk=" + kLong + "\r\n"},
    {"write: duplicate sections", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", kWrite, "s", "b", "v"},
    {"write: duplicate keys", "[s]\r\na=1\r\na=2\r\n", kWrite, "s", "a", "v"},
    {"write: key without '='", "[s]\r\nk\r\n", kWrite, "s", "k", "v"},
    {"write: non-ASCII names", "[\xc5]\r\nk=1\r\n", kWrite, "\xc3\xa5", "k", "2"},
    {"write: UTF-8 text", kNoFile, kWrite, "za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", "\xc5\x82", "\xc4\x87"},
    {"write: 2047 Cyrillic characters", kNoFile, kWrite, "s", "k", k2047Cyrillic},
    {"write: text that is not UTF-8", kNoFile, kWrite, "s", "k", "\xca\xeb\xfe\xf7", kRefused,
     "it would read back as other text, in the ANSI code page", kNoFile, "[s]\r\nk=\xca\xeb\xfe\xf7\r\n"},
    {"write: numeric section", "[0]\r\nwartosc=a\r\n", kWrite, "1", "wartosc", "b"},
    {"write: before any header", "[t]\r\nb=2\r\n", kWrite, "", "k", "v"},
    {"write: comments and junk stay", ";top\r\n[s]\r\n; c\r\nk=old\r\n  junk  \r\n", kWrite, "s", "k", "v",
     kWineOnly, "Wine rewrites every line", ";top\r\n[s]\r\n; c\r\nk=v\r\n  junk  \r\n",
     ";top\r\n[s]\r\n; c\r\nk=v\r\njunk\r\n"},
    {"write: LF file", "[s]\nk=old\n[t]\nx=1\n", kWrite, "s", "k", "v", kWineOnly,
     "Wine turns every line break into CR LF", "[s]\nk=v\n[t]\nx=1\n", "[s]\r\nk=v\r\n[t]\r\nx=1\r\n"},
    {"write: blank lines stay", "[s]\r\nk=old\r\n\r\n[t]\r\nx=1\r\n", kWrite, "s", "j", "v", kWineOnly,
     "Wine drops blank lines", "[s]\r\nk=old\r\nj=v\r\n\r\n[t]\r\nx=1\r\n",
     "[s]\r\nk=old\r\nj=v\r\n[t]\r\nx=1\r\n"},
    {"write: before any header, blank", "a=1\r\n\r\n[t]\r\n", kWrite, "", "k", "v", kWineOnly,
     "Wine drops blank lines", "a=1\r\nk=v\r\n\r\n[t]\r\n", "a=1\r\nk=v\r\n[t]\r\n"},
    {"write: NUL bytes stay", "[s]\r\nq=\0z\r\n"s, kWrite, "s", "k", "v", kWineOnly,
     "Wine cuts the line holding the NUL",
     "[s]\r\nq=\0z\r\nk=v\r\n"s, "[s]\r\nq=\r\nk=v\r\n"},
    {"write: CR LF in value", "[s]\r\n", kWrite, "s", "k", "a\r\n[x]", kRefused,
     "a line break would end the line and start a section", "[s]\r\n", "[s]\r\nk=a\r\n[x]\r\n"},
    {"write: LF in key", "[s]\r\n", kWrite, "s", "a\nb", "v", kRefused,
     "a line break would split the key", "[s]\r\n", "[s]\r\na\nb=v\r\n"},
    {"write: CR in section", kNoFile, kWrite, "a\rb", "k", "v", kRefused,
     "a line break would split the header", kNoFile, "[a\rb]\r\nk=v\r\n"},
    {"write: ']' in section", kNoFile, kWrite, "a]b", "k", "v", kRefused,
     "']' ends a section name", kNoFile, "[a]b]\r\nk=v\r\n"},
    {"write: '=' in key", kNoFile, kWrite, "s", "a=b", "c", kRefused,
     "the key would read back as \"a\" with the value \"b=c\"", kNoFile, "[s]\r\na=b=c\r\n"},
    {"write: key starting with '['", kNoFile, kWrite, "s", "[k", "v]", kRefused,
     "the line would read back as a section header", kNoFile, "[s]\r\n[k=v]\r\n"},
    {"write: UTF-16 file", "\xff\xfe[\0s\0]\0\r\0\n\0"s, kWrite, "s", "k", "v", kRefused,
     "the store writes single-byte text only and must not mix encodings in one file",
     "\xff\xfe[\0s\0]\0\r\0\n\0"s, "\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s},

    // Erasing sections.
    {"erase", "[s]\r\na=1\r\n[t]\r\nb=2\r\n", kErase, "s", "", ""},
    {"erase, other case", "[t]\r\nb=2\r\n[S]\r\na=1\r\n", kErase, "s", "", ""},
    {"erase the last, no last break", "[t]\r\nb=2\r\n[s]\r\na=1", kErase, "s", "", ""},
    {"erase the first of duplicates", "[s]\r\na=1\r\n[t]\r\nb=2\r\n[S]\r\nc=3\r\n", kErase, "s", "", ""},
    {"erase a missing section", "[t]\nb=2\n", kErase, "s", "", ""},
    {"erase in no file", kNoFile, kErase, "s", "", ""},
    {"erase before any header", "x=0\r\n[t]\r\nb=2\r\n", kErase, "", "", ""},
    {"erase with blank lines", "[t]\r\nb=2\r\n\r\n[s]\r\na=1\r\n\r\n;c\r\n[u]\r\n", kErase, "s", "", "",
     kWineOnly, "Wine drops blank lines", "[t]\r\nb=2\r\n\r\n[u]\r\n", "[t]\r\nb=2\r\n[u]\r\n"},
    {"erase in an LF file", "[t]\nb=2\n[s]\na=1\n[u]\n", kErase, "s", "", "", kWineOnly,
     "Wine turns every line break into CR LF", "[t]\nb=2\n[u]\n", "[t]\r\nb=2\r\n[u]\r\n"},
};

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// A folder of its own in the temp folder, for the whole run.
const std::string& Folder() {
  static const std::string folder = [] {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string f = std::string(temp) + "veltrane-ini-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount());
    CreateDirectoryA(f.c_str(), nullptr);
    return f;
  }();
  return folder;
}

void Put(const std::string& path, const std::optional<std::string>& content) {
  DeleteFileA(path.c_str());
  if (content) std::ofstream(path, std::ios::binary) << *content;
}

std::optional<std::string> Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// As the store reads: UTF-8 text of a 2048-character buffer.
std::string ApiRead(const DiffCase& c, const std::string& path) {
  using platform::win32::Wide;
  wchar_t buffer[2048];
  DWORD n = GetPrivateProfileStringW(Wide(c.section).c_str(), Wide(c.key).c_str(), Wide(c.arg).c_str(),
                                     buffer, DWORD(std::size(buffer)), Wide(path).c_str());
  return platform::win32::Utf8(buffer, n);
}

void ApiEdit(const DiffCase& c, const std::string& path) {
  if (c.op == kWrite) {
    WritePrivateProfileStringA(c.section.c_str(), c.key.c_str(), c.arg.c_str(), path.c_str());
  } else {
    WritePrivateProfileStringA(c.section.c_str(), nullptr, nullptr, path.c_str());
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // flush
}

// Every section as the profile API lists it, to compare two files by meaning.
std::string ApiDump(const std::string& path) {
  std::vector<char> names(1 << 20), lines(1 << 20);
  DWORD n = GetPrivateProfileSectionNamesA(names.data(), DWORD(names.size()), path.c_str());
  std::string dump;
  auto section = [&](const char* name) {
    DWORD m = GetPrivateProfileSectionA(name, lines.data(), DWORD(lines.size()), path.c_str());
    dump.append("[").append(name).append("]\n");
    for (DWORD i = 0; i < m; i += DWORD(strlen(lines.data() + i)) + 1) {
      dump += std::string(lines.data() + i) + "\n";
    }
  };
  section("");
  for (DWORD i = 0; i < n; i += DWORD(strlen(names.data() + i)) + 1) section(names.data() + i);
  return dump;
}

std::string Show(const std::optional<std::string>& s) {
  if (!s) return "(no file)";
  std::string out;
  for (unsigned char ch : *s) {
    if (ch == '\r') out += "\\r";
    else if (ch == '\n') out += "\\n";
    else if (ch < 32 || ch >= 127) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", ch);
      out += hex;
    } else out += char(ch);
  }
  return out.size() > 200 ? out.substr(0, 200) + "..." : out;
}

// Removes the temp folder when the run ends.
class RemoveFolder : public ::testing::Environment {
 public:
  void TearDown() override {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((Folder() + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((Folder() + "\\" + found.cFileName).c_str());
      } while (FindNextFileA(h, &found));
      FindClose(h);
    }
    RemoveDirectoryA(Folder().c_str());
  }
};
[[maybe_unused]] ::testing::Environment* const kRemoveFolder =
    ::testing::AddGlobalTestEnvironment(new RemoveFolder);

// The cases of non-ASCII text assume the Western code page.
TEST(IniDifferentialSetting, TheWineRunsHaveTheWesternCodePage) {
  if (UnderWine()) EXPECT_EQ(GetACP(), 1252u) << "set LC_ALL for the Wine runs";
}

class IniDifferential : public ::testing::TestWithParam<size_t> {};

TEST_P(IniDifferential, StoreAgreesWithTheProfileApi) {
  const DiffCase& c = kCases[GetParam()];
  SCOPED_TRACE(std::string(c.name) + (c.differs != kSame ? std::string(" (differs: ") + c.why + ")" : ""));
  const bool wine = UnderWine();
  const std::string base = Folder() + "\\case" + std::to_string(GetParam());
  const std::string api_path = base + "-api.ini", store_path = base + "-store.ini";
  Put(api_path, c.content);
  Put(store_path, c.content);

  platform::win32::Win32Files files;
  IniStore store(files, store_path);

  if (c.op == kRead) {
    std::string api = ApiRead(c, api_path);
    std::string mine = store.ReadString(c.section, c.key, c.arg);
    if (c.differs == kSame || (c.differs == kWineOnly && !wine)) {
      EXPECT_EQ(Show(mine), Show(api));
    } else {
      EXPECT_EQ(Show(mine), Show(c.engine));
      if (wine && c.wine) {
        EXPECT_EQ(Show(api), Show(c.wine));
      }
    }
    EXPECT_EQ(Get(store_path), c.content) << "a read changed the file";
    return;
  }

  ApiEdit(c, api_path);
  bool refused = false;
  try {
    if (c.op == kWrite) {
      store.WriteString(c.section, c.key, c.arg);
    } else {
      store.EraseSection(c.section);
    }
  } catch (const WriteError& e) {
    refused = true;
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + store_path);
  }
  const auto api = Get(api_path), mine = Get(store_path);
  EXPECT_EQ(refused, c.differs == kRefused);
  if (c.differs == kProtected) {
    EXPECT_EQ(Show(mine), Show(c.engine));
    DiffCase read_back = c;
    read_back.arg = "(missing)";
    EXPECT_EQ(Show(ApiRead(read_back, store_path)), Show(c.arg)) << "the API does not read back what was written";
    return;
  }
  if (c.differs == kSame || (c.differs == kWineOnly && !wine)) {
    EXPECT_EQ(Show(mine), Show(api));
  } else {
    EXPECT_EQ(Show(mine), Show(c.engine));
    if (wine && c.wine) {
      EXPECT_EQ(Show(api), Show(c.wine));
    }
  }
  // Whatever the bytes, both files must mean the same to the profile API.
  if (c.differs != kRefused) {
    EXPECT_EQ(ApiDump(store_path), ApiDump(api_path));
  }
}

INSTANTIATE_TEST_SUITE_P(Ini, IniDifferential, ::testing::Range<size_t>(0, std::size(kCases)),
                         [](const auto& info) {
                           std::string name = std::to_string(info.param) + "_";
                           for (const char* p = kCases[info.param].name; *p; ++p) {
                             name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace registry
