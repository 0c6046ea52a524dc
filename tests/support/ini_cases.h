// One table of profile-file cases, run through the INI store by the unit
// tests and, under Wine, through both the store and the Win32 profile API by
// the differential test. Each case says what the store gives; where the API
// gives something else, it says why.
#pragma once
#include <optional>
#include <string>

namespace testing_support {

using namespace std::string_literals;

enum IniOp { kRead, kWrite, kErase };

enum ApiDiffers {
  kSame,       // the API gives `expected` too
  kRefused,    // the store refuses the write (WriteError) and leaves the file as `expected`
  kByDesign,   // the store gives `expected` on purpose; the API (under Wine) `wine`
  kWineOnly,   // Wine's API gives `wine`; Windows gives `expected`, as the store does
  kProtected,  // the store writes `expected`, which the API reads back as written
};

struct IniCase {
  const char* name;
  std::optional<std::string> content;  // nullopt: no file
  IniOp op;
  std::string section, key;
  std::string arg;                      // the default of a read, the value of a write
  std::optional<std::string> expected;  // what a read returns, or the file after an edit (nullopt: none)
  ApiDiffers differs = kSame;
  const char* why = "";
  std::optional<std::string> wine = {};  // what Wine's API gives instead, where known
};

inline const std::optional<std::string> kNoFile;
inline const std::string kLong(3000, 'x');
inline const std::string k2046(2046, 'x');
inline const std::string k2047(2047, 'x');
inline const std::string k2047Cyrillic = [] {
  std::string s;
  for (int i = 0; i < 2047; ++i) s += "\xd0\x96";
  return s;
}();
// 3000 ANSI e-acute bytes, as read: 2047 characters of UTF-8.
inline const std::string k2047Accented = [] {
  std::string s;
  for (int i = 0; i < 2047; ++i) s += "\xc3\xa9";
  return s;
}();

inline const IniCase kIniCases[] = {
    // Finding things.
    {"plain", "[s]\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"no file", kNoFile, kRead, "s", "k", "d", "d"},
    {"empty file", "", kRead, "s", "k", "d", "d"},
    {"no section", "[t]\r\nk=v\r\n", kRead, "s", "k", "d", "d"},
    {"no key", "[s]\r\nj=v\r\n", kRead, "s", "k", "d", "d"},
    {"case of names", "[SeC]\r\nKeY=v\r\n", kRead, "sEc", "kEy", "d", "v"},
    {"case of non-ASCII names", "[\xc5]\r\nk=v\r\n", kRead, "\xc3\xa5", "k", "d", "d"},
    {"blanks around names and '='", "  [s]  \r\n \t k \t=\t v \t\r\n", kRead, " s ", "\tk ", "d", "v"},
    {"blanks inside the brackets", "[ s ]\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"blanks inside a name", "[a  b]\r\nk=v\r\n", kRead, "a b", "k", "d", "d"},
    {"^Z VT FF are blanks", "[s]\r\nk=\x1a\x0b\x0cv\x1a\x0c\r\n", kRead, "s", "k", "d", "v"},
    {"other control bytes", "[s]\r\nk=\x1c\x1dv\x1e\x1f\x7f\r\n", kRead, "s", "k", "d",
     "\x1c\x1dv\x1e\x1f\x7f"},
    {"no-break space", "[s]\r\nk=\xa0v\xa0\r\n", kRead, "s", "k", "d", "\xc2\xa0v\xc2\xa0"},
    // Quotes.
    {"double quotes", "[s]\r\nk=\"v\"\r\n", kRead, "s", "k", "d", "v"},
    {"single quotes", "[s]\r\nk='v'\r\n", kRead, "s", "k", "d", "v"},
    {"mismatched quotes", "[s]\r\nk=\"v'\r\n", kRead, "s", "k", "d", "\"v'"},
    {"quote at the start only", "[s]\r\nk=\"v\r\n", kRead, "s", "k", "d", "\"v"},
    {"quote at the end only", "[s]\r\nk=v\"\r\n", kRead, "s", "k", "d", "v\""},
    {"a lone quote", "[s]\r\nk=\"\r\n", kRead, "s", "k", "d", "\""},
    {"value \"\"", "[s]\r\nk=\"\"\r\n", kRead, "s", "k", "d", ""},
    {"value ''", "[s]\r\nk=''\r\n", kRead, "s", "k", "d", ""},
    {"value \"a\" \"b\"", "[s]\r\nk=\"a\" \"b\"\r\n", kRead, "s", "k", "d", "a\" \"b"},
    {"inner quotes", "[s]\r\nk=a \"b\" c\r\n", kRead, "s", "k", "d", "a \"b\" c"},
    {"blanks inside quotes", "[s]\r\nk=\" v \"\r\n", kRead, "s", "k", "d", " v "},
    {"blanks outside quotes", "[s]\r\nk=  \"v\"  \r\n", kRead, "s", "k", "d", "v"},
    {"quoted key name", "[s]\r\n\"k\"=v\r\n", kRead, "s", "k", "d", "d"},
    {"quoted key name asked quoted", "[s]\r\n\"k\"=v\r\n", kRead, "s", "\"k\"", "d", "v"},
    {"quoted section name", "[\"s\"]\r\nk=v\r\n", kRead, "s", "k", "d", "d"},
    // Lines of all kinds.
    {"empty value", "[s]\r\nk=\r\n", kRead, "s", "k", "d", ""},
    {"'=' in the value", "[s]\r\nk=a=b\r\n", kRead, "s", "k", "d", "a=b"},
    {"key without '='", "[s]\r\nk\r\n", kRead, "s", "k", "d", "d"},
    {"key without '=' first", "[s]\r\nk\r\nk=v\r\n", kRead, "s", "k", "d", "d"},
    {"empty key", "[s]\r\n=v\r\n", kRead, "s", "", "d", "v"},
    {"duplicate keys", "[s]\r\nk=1\r\nk=2\r\n", kRead, "s", "k", "d", "1"},
    {"duplicate sections", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", kRead, "s", "k", "d", "1"},
    {"key in the later duplicate", "[s]\r\nk=1\r\n[s]\r\nj=2\r\n", kRead, "s", "j", "d", "d"},
    {"comment before the key", "[s]\r\n;k=1\r\nk=2\r\n", kRead, "s", "k", "d", "2"},
    {"comment line asked for", "[s]\r\n;k=1\r\n", kRead, "s", ";k", "d", "1"},
    {"garbage lines", "[s]\r\njunk here\r\n]]\r\n[\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"'[' without ']'", "[s]\r\n[abc=1\r\n", kRead, "s", "[abc", "d", "1"},
    {"text after the header", "[s] ; note\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"']' inside a header", "[a]b]\r\nk=v\r\n", kRead, "a]b", "k", "d", "v"},
    {"'[' inside a header", "[[a]\r\nk=v\r\n", kRead, "[a", "k", "d", "v"},
    {"header not at the start", "x[s]\r\nk=v\r\n", kRead, "s", "k", "d", "d"},
    {"keys before any header", "k=top\r\n[s]\r\nk=v\r\n", kRead, "", "k", "d", "top"},
    {"empty header", "[]\r\nk=v\r\n", kRead, "", "k", "d", "d"},
    {"LF file", "[s]\nk=v\n", kRead, "s", "k", "d", "v"},
    {"CR file", "[s]\rk=v\r", kRead, "s", "k", "d", "v"},
    {"lone CR inside", "[s]\r\nj=1\rk=2\r\n", kRead, "s", "k", "d", "2"},
    {"LF CR", "[s]\n\rk=v\n\r", kRead, "s", "k", "d", "v"},
    {"no line break at the end", "[s]\r\nk=v", kRead, "s", "k", "d", "v"},
    {"NUL in a value", "[s]\r\nk=v \0x\r\n"s, kRead, "s", "k", "d", "v "},
    {"NUL in a key", "[s]\r\nk\0y=v\r\n"s, kRead, "s", "k", "d", "v"},
    {"NUL in a header", "[s\0t]\r\nk=v\r\n"s, kRead, "s", "k", "d", "v"},
    {"NUL lines", "\0\0\r\n[s]\r\n\0=\0\r\nk=v\r\n"s, kRead, "s", "k", "d", "v"},
    {"very long line", "[s]\r\nj=" + std::string(100000, 'x') + "\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    // Odd section names.
    {"numeric sections", "[0]\r\nwartosc=a\r\n[250]\r\nwartosc=b\r\n", kRead, "250", "wartosc", "err", "b"},
    {"leading zero", "[00]\r\nwartosc=a\r\n", kRead, "0", "wartosc", "err", "err"},
    {"UTF-8 bytes in names", "[za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87]\r\nk=v\r\n", kRead,
     "ZA\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", "k", "d", "v", kByDesign,
     "a UTF-8 name is read as UTF-8, where Windows reads the file in the ANSI code page", "d"},
    {"ANSI bytes in names and values", "[\xe6]\r\nk=\x81\x8d\x8f\x90\x9d\xff\r\n", kRead, "\xc3\xa6", "k", "d",
     "\xc2\x81\xc2\x8d\xc2\x8f\xc2\x90\xc2\x9d\xc3\xbf"},
    {"ANSI value", "[s]\r\nk=caf\xe9 \x80\r\n", kRead, "s", "k", "d", "caf\xc3\xa9 \xe2\x82\xac"},
    {"UTF-8 value", "[s]\r\nk=\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87\r\n", kRead, "s", "k", "d",
     "\xd0\x9a\xd0\xbb\xd1\x8e\xd1\x87", kByDesign,
     "a UTF-8 value is read as UTF-8, where Windows reads the file in the ANSI code page"},
    {"ANSI and UTF-8 values in one file", "[s]\r\nj=\xc5\xbc\r\nk=\xe9\r\n", kRead, "s", "k", "d", "\xc3\xa9"},
    {"long ANSI value", "[s]\r\nk=" + std::string(3000, '\xe9') + "\r\n", kRead, "s", "k", "d", k2047Accented},
    // Lengths.
    {"long value", "[s]\r\nk=" + kLong + "\r\n", kRead, "s", "k", "d", k2047},
    {"quoted 2046", "[s]\r\nk=\"" + k2046 + "\"\r\n", kRead, "s", "k", "d", k2046},
    {"quoted 2047", "[s]\r\nk=\"" + k2047 + "\"\r\n", kRead, "s", "k", "d", k2047, kWineOnly,
     "Wine's quote removal loses the last character when the text fills the buffer exactly", k2046},
    {"quoted long value", "[s]\r\nk=\"" + kLong + "\"\r\n", kRead, "s", "k", "d", k2047},
    {"long default", kNoFile, kRead, "s", "k", kLong, k2047},
    // Defaults.
    {"default: trailing spaces", "[s]\r\n", kRead, "s", "k", "def  ", "def"},
    {"default: leading spaces", "[s]\r\n", kRead, "s", "k", "  def", "  def"},
    {"default: trailing tab", "[s]\r\n", kRead, "s", "k", "def\t", "def\t"},
    {"default: quoted", "[s]\r\n", kRead, "s", "k", "\"def\"", "def"},
    {"default: quoted, no file", kNoFile, kRead, "s", "k", "'def'", "def"},
    {"default: empty", "[s]\r\n", kRead, "s", "k", "", ""},
    {"default: only spaces", "[s]\r\n", kRead, "s", "k", "   ", "", kWineOnly,
     "Windows strips all trailing blanks of the default; Wine keeps one of an all-blank default", " "},
    // Encodings.
    {"UTF-8 byte order mark", "\xef\xbb\xbf[s]\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"UTF-8 text after a mark", "\xef\xbb\xbf[s]\r\nk=\xc5\xbc\r\n", kRead, "s", "k", "d", "\xc5\xbc"},
    {"UTF-16 file", "\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s, kRead, "s", "k", "d", "d", kByDesign,
     "the store reads single-byte files only", "v"},
    // Writes.
    {"write: new file", kNoFile, kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"write: empty file", "", kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"write: replace", "[s]\r\nk=old\r\n[t]\r\nx=1\r\n", kWrite, "s", "k", "v", "[s]\r\nk=v\r\n[t]\r\nx=1\r\n"},
    {"write: replace, other case", "[s]\r\nKey=old\r\n", kWrite, "S", "kEY", "v", "[s]\r\nKey=v\r\n"},
    {"write: replace, blanks", "[s]\r\n  k = old  \r\n", kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"write: add key", "[s]\r\nk=old\r\n[t]\r\nx=1\r\n", kWrite, "s", "j", "v",
     "[s]\r\nk=old\r\nj=v\r\n[t]\r\nx=1\r\n"},
    {"write: add key, no last break", "[s]\r\nk=old", kWrite, "s", "j", "v", "[s]\r\nk=old\r\nj=v\r\n"},
    {"write: header only", "[s]", kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"write: add key after comment", "[s]\r\nk=1\r\n;c\r\n[t]\r\n", kWrite, "s", "j", "2",
     "[s]\r\nk=1\r\n;c\r\nj=2\r\n[t]\r\n"},
    {"write: add section", "[s]\r\nk=old\r\n", kWrite, "t", "j", "v", "[s]\r\nk=old\r\n[t]\r\nj=v\r\n"},
    {"write: add section, no last break", "[s]\r\nk=old", kWrite, "t", "j", "v",
     "[s]\r\nk=old\r\n[t]\r\nj=v\r\n"},
    {"write: same value", "[s]\r\nk = v\n", kWrite, "s", "k", "v", "[s]\r\nk = v\n"},
    {"write: same text unquoted", "[s]\r\nk=\"v\"\r\n", kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"write: value with trailing blank", "[s]\r\nk=v\r\n", kWrite, "s", "k", "v ", "[s]\r\nk=\"v \"\r\n",
     kProtected, "the API would write it bare and read back \"v\""},
    {"write: blanks around value", "[s]\r\n", kWrite, "s", "k", " \t v  ", "[s]\r\nk=\" \t v  \"\r\n",
     kProtected, "the API would drop the blanks"},
    {"write: blanks around key", "[s]\r\n", kWrite, "s", "  k  ", "v", "[s]\r\nk  =v\r\n"},
    {"write: blanks around section", "[s]\r\n", kWrite, "  t  ", "k", "v", "[s]\r\n[t  ]\r\nk=v\r\n"},
    {"write: empty key", "[s]\r\n", kWrite, "s", "", "v", "[s]\r\n=v\r\n"},
    {"write: blank key", "[s]\r\n", kWrite, "s", "   ", "v", "[s]\r\n=v\r\n"},
    {"write: empty value", kNoFile, kWrite, "s", "k", "", "[s]\r\nk=\r\n"},
    {"write: quoted value", kNoFile, kWrite, "s", "k", "\"v\"", "[s]\r\nk=\"\"v\"\"\r\n", kProtected,
     "the API would read back v without its quotes"},
    {"write: value \"a\" \"b\"", kNoFile, kWrite, "s", "k", "\"a\" \"b\"", "[s]\r\nk=\"\"a\" \"b\"\"\r\n",
     kProtected, "the API would read back a\" \"b"},
    {"write: quoted path", kNoFile, kWrite, "0", "wartosc", "\"C:\\Program Files\\App\\app.exe\"",
     "[0]\r\nwartosc=\"\"C:\\Program Files\\App\\app.exe\"\"\r\n", kProtected,
     "a quoted command line would lose its quotes and never match again"},
    {"write: single-quoted value", "[s]\r\nk=1\r\n", kWrite, "s", "k", "'v'", "[s]\r\nk=\"'v'\"\r\n",
     kProtected, "the API would read back v without its quotes"},
    {"write: quoted, then an argument", kNoFile, kWrite, "s", "k", "\"C:\\x.exe\" /min",
     "[s]\r\nk=\"C:\\x.exe\" /min\r\n"},
    {"write: 2047 characters", kNoFile, kWrite, "s", "k", k2047, "[s]\r\nk=" + k2047 + "\r\n"},
    {"write: long value", kNoFile, kWrite, "s", "k", kLong, kNoFile, kRefused,
     "no read returns more than 2047 characters, so it could never be read back whole",
     "[s]\r\nk=" + kLong + "\r\n"},
    {"write: duplicate sections", "[s]\r\na=1\r\n[s]\r\nb=2\r\n", kWrite, "s", "b", "v",
     "[s]\r\na=1\r\nb=v\r\n[s]\r\nb=2\r\n"},
    {"write: duplicate keys", "[s]\r\na=1\r\na=2\r\n", kWrite, "s", "a", "v", "[s]\r\na=v\r\na=2\r\n"},
    {"write: key without '='", "[s]\r\nk\r\n", kWrite, "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"write: non-ASCII names", "[\xc5]\r\nk=1\r\n", kWrite, "\xc3\xa5", "k", "2",
     "[\xc5]\r\nk=1\r\n[\xc3\xa5]\r\nk=2\r\n"},
    {"write: UTF-8 text", kNoFile, kWrite, "za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", "\xc5\x82", "\xc4\x87",
     "[za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87]\r\n\xc5\x82=\xc4\x87\r\n"},
    {"write: 2047 Cyrillic characters", kNoFile, kWrite, "s", "k", k2047Cyrillic,
     "[s]\r\nk=" + k2047Cyrillic + "\r\n"},
    {"write: text that is not UTF-8", kNoFile, kWrite, "s", "k", "\xca\xeb\xfe\xf7", kNoFile, kRefused,
     "it would read back as other text, in the ANSI code page", "[s]\r\nk=\xca\xeb\xfe\xf7\r\n"},
    {"write: numeric section", "[0]\r\nwartosc=a\r\n", kWrite, "1", "wartosc", "b",
     "[0]\r\nwartosc=a\r\n[1]\r\nwartosc=b\r\n"},
    {"write: before any header", "[t]\r\nb=2\r\n", kWrite, "", "k", "v", "k=v\r\n[t]\r\nb=2\r\n"},
    {"write: comments and junk stay", ";top\r\n[s]\r\n; c\r\nk=old\r\n  junk  \r\n", kWrite, "s", "k", "v",
     ";top\r\n[s]\r\n; c\r\nk=v\r\n  junk  \r\n", kWineOnly, "Wine rewrites every line",
     ";top\r\n[s]\r\n; c\r\nk=v\r\njunk\r\n"},
    {"write: LF file", "[s]\nk=old\n[t]\nx=1\n", kWrite, "s", "k", "v", "[s]\nk=v\n[t]\nx=1\n", kWineOnly,
     "Wine turns every line break into CR LF", "[s]\r\nk=v\r\n[t]\r\nx=1\r\n"},
    {"write: blank lines stay", "[s]\r\nk=old\r\n\r\n[t]\r\nx=1\r\n", kWrite, "s", "j", "v",
     "[s]\r\nk=old\r\nj=v\r\n\r\n[t]\r\nx=1\r\n", kWineOnly, "Wine drops blank lines",
     "[s]\r\nk=old\r\nj=v\r\n[t]\r\nx=1\r\n"},
    {"write: before any header, blank", "a=1\r\n\r\n[t]\r\n", kWrite, "", "k", "v",
     "a=1\r\nk=v\r\n\r\n[t]\r\n", kWineOnly, "Wine drops blank lines", "a=1\r\nk=v\r\n[t]\r\n"},
    {"write: NUL bytes stay", "[s]\r\nq=\0z\r\n"s, kWrite, "s", "k", "v", "[s]\r\nq=\0z\r\nk=v\r\n"s,
     kWineOnly, "Wine cuts the line holding the NUL", "[s]\r\nq=\r\nk=v\r\n"},
    {"write: CR LF in value", "[s]\r\n", kWrite, "s", "k", "a\r\n[x]", "[s]\r\n", kRefused,
     "a line break would end the line and start a section", "[s]\r\nk=a\r\n[x]\r\n"},
    {"write: LF in key", "[s]\r\n", kWrite, "s", "a\nb", "v", "[s]\r\n", kRefused,
     "a line break would split the key", "[s]\r\na\nb=v\r\n"},
    {"write: CR in section", kNoFile, kWrite, "a\rb", "k", "v", kNoFile, kRefused,
     "a line break would split the header", "[a\rb]\r\nk=v\r\n"},
    {"write: ']' in section", kNoFile, kWrite, "a]b", "k", "v", kNoFile, kRefused, "']' ends a section name",
     "[a]b]\r\nk=v\r\n"},
    {"write: '=' in key", kNoFile, kWrite, "s", "a=b", "c", kNoFile, kRefused,
     "the key would read back as \"a\" with the value \"b=c\"", "[s]\r\na=b=c\r\n"},
    {"write: key starting with '['", kNoFile, kWrite, "s", "[k", "v]", kNoFile, kRefused,
     "the line would read back as a section header", "[s]\r\n[k=v]\r\n"},
    {"write: UTF-16 file", "\xff\xfe[\0s\0]\0\r\0\n\0"s, kWrite, "s", "k", "v", "\xff\xfe[\0s\0]\0\r\0\n\0"s,
     kRefused, "the store writes single-byte text only and must not mix encodings in one file",
     "\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s},
    // Erasing sections.
    {"erase", "[s]\r\na=1\r\n[t]\r\nb=2\r\n", kErase, "s", "", "", "[t]\r\nb=2\r\n"},
    {"erase, other case", "[t]\r\nb=2\r\n[S]\r\na=1\r\n", kErase, "s", "", "", "[t]\r\nb=2\r\n"},
    {"erase the last, no last break", "[t]\r\nb=2\r\n[s]\r\na=1", kErase, "s", "", "", "[t]\r\nb=2\r\n"},
    {"erase the first of duplicates", "[s]\r\na=1\r\n[t]\r\nb=2\r\n[S]\r\nc=3\r\n", kErase, "s", "", "",
     "[t]\r\nb=2\r\n[S]\r\nc=3\r\n"},
    {"erase a missing section", "[t]\nb=2\n", kErase, "s", "", "", "[t]\nb=2\n"},
    {"erase in no file", kNoFile, kErase, "s", "", "", kNoFile},
    {"erase before any header", "x=0\r\n[t]\r\nb=2\r\n", kErase, "", "", "", "[t]\r\nb=2\r\n"},
    {"erase with blank lines", "[t]\r\nb=2\r\n\r\n[s]\r\na=1\r\n\r\n;c\r\n[u]\r\n", kErase, "s", "", "",
     "[t]\r\nb=2\r\n\r\n[u]\r\n", kWineOnly, "Wine drops blank lines", "[t]\r\nb=2\r\n[u]\r\n"},
    {"erase in an LF file", "[t]\nb=2\n[s]\na=1\n[u]\n", kErase, "s", "", "", "[t]\nb=2\n[u]\n", kWineOnly,
     "Wine turns every line break into CR LF", "[t]\r\nb=2\r\n[u]\r\n"},
    // More reads.
    {"non-ASCII letters keep their case", "[\xc5\xbb]\r\nk=v\r\n", kRead, "\xc5\xbc", "k", "d", "d"},
    {"blanks around everything", "  [ s ]  \r\n \t k \t=\t v \t\r\n", kRead, " s ", "\tk ", "d", "v"},
    {"^Z, VT and FF are blanks", "[s]\r\nk=\x1a\x0b\x0cv\x1a\r\n", kRead, "s", "k", "d", "v"},
    {"other control bytes are not", "[s]\r\nk=\x1cv\x7f\r\n", kRead, "s", "k", "d", "\x1cv\x7f"},
    {"garbage lines", "[s]\r\njunk here\r\n[\r\n]]\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"...are in no named section", "k=top\r\n[s]\r\n", kRead, "s", "k", "d", "d"},
    {"asked names stop at NUL", "[s]\r\nk=v\r\n", kRead, "s\0t"s, "k\0j"s, "d", "v"},
    {"a very long line", "[s]\r\nj=" + std::string(200000, 'x') + "\r\nk=v\r\n", kRead, "s", "k", "d", "v"},
    {"default: trailing spaces go", kNoFile, kRead, "s", "k", "def  ", "def"},
    {"default: leading spaces stay", kNoFile, kRead, "s", "k", "  def", "  def"},
    {"default: trailing tab stays", kNoFile, kRead, "s", "k", "def\t", "def\t"},
    {"default: all spaces", kNoFile, kRead, "s", "k", "   ", "",
     kWineOnly, "Windows strips all trailing blanks of the default; Wine keeps one of an all-blank default", " "},
    {"default: cut to 2047", kNoFile, kRead, "s", "k", std::string(3000, 'y'), std::string(2047, 'y')},
    {"default: stops at NUL", kNoFile, kRead, "s", "k", "err\0x"s, "err"},
    // More writes and erases: every byte outside the changed line stays.
    {"replaces one line only", "; c\r\n[s]\r\nk=old\r\nj=1\r\n\r\n[t]\r\nx=1\r\n", kWrite, "s", "k", "v",
     "; c\r\n[s]\r\nk=v\r\nj=1\r\n\r\n[t]\r\nx=1\r\n",
     kWineOnly, "Wine drops blank lines", "; c\r\n[s]\r\nk=v\r\nj=1\r\n[t]\r\nx=1\r\n"},
    {"keeps the key as the file spells it", "[s]\r\n  Key = old  \r\n", kWrite, "S", "kEY", "v",
     "[s]\r\nKey=v\r\n"},
    {"keeps a missing last line break", "[s]\nk=old", kWrite, "s", "k", "v", "[s]\nk=v",
     kWineOnly, "Wine turns every line break into CR LF", "[s]\r\nk=v\r\n"},
    {"adds a key after the section's last line", "[s]\r\nk=1\r\n\r\n[t]\r\n", kWrite, "s", "j", "2",
     "[s]\r\nk=1\r\nj=2\r\n\r\n[t]\r\n",
     kWineOnly, "Wine drops blank lines", "[s]\r\nk=1\r\nj=2\r\n[t]\r\n"},
    {"new lines end in CR LF", "[s]\nk=1\n", kWrite, "s", "j", "2", "[s]\nk=1\nj=2\r\n",
     kWineOnly, "Wine turns every line break into CR LF", "[s]\r\nk=1\r\nj=2\r\n"},
    {"into an unterminated last line", "[s]\r\nk=1", kWrite, "s", "j", "2", "[s]\r\nk=1\r\nj=2\r\n"},
    {"adds a section at the end", "[s]\r\nk=1\r\n", kWrite, "t", "j", "2", "[s]\r\nk=1\r\n[t]\r\nj=2\r\n"},
    {"after an unterminated last line", "[s]\r\nk=1", kWrite, "t", "j", "2", "[s]\r\nk=1\r\n[t]\r\nj=2\r\n"},
    {"after blank lines", "[s]\r\n\r\n", kWrite, "t", "j", "2", "[s]\r\n\r\n[t]\r\nj=2\r\n",
     kWineOnly, "Wine drops blank lines", "[s]\r\n[t]\r\nj=2\r\n"},
    {"value: leading blanks are kept in quotes", kNoFile, kWrite, "s", "k", " \tv", "[s]\r\nk=\" \tv\"\r\n",
     kProtected, "the API would drop the blanks"},
    {"value: trailing blanks are kept in quotes", kNoFile, kWrite, "s", "k", "v\x1a", "[s]\r\nk=\"v\x1a\"\r\n",
     kProtected, "the API would write it bare and read back \"v\""},
    {"value: a quoted command line gets one more pair", kNoFile, kWrite, "s", "k", "\"C:\\a b\\x.exe\"",
     "[s]\r\nk=\"\"C:\\a b\\x.exe\"\"\r\n",
     kProtected, "a quoted command line would lose its quotes and never match again"},
    {"value: single quotes too", kNoFile, kWrite, "s", "k", "'v'", "[s]\r\nk=\"'v'\"\r\n",
     kProtected, "the API would read back v without its quotes"},
    {"value: a lone quote stays bare", kNoFile, kWrite, "s", "k", "\"", "[s]\r\nk=\"\r\n"},
    {"value: mismatched quotes stay bare", kNoFile, kWrite, "s", "k", "\"v'", "[s]\r\nk=\"v'\r\n"},
    {"value: protected value unchanged", "[s]\r\nk = \" v \"\r\n", kWrite, "s", "k", " v ",
     "[s]\r\nk = \" v \"\r\n",
     kProtected, "the API would write it bare and read back \"v\""},
    {"names: leading blanks go", kNoFile, kWrite, "  s", "\tk", "v", "[s]\r\nk=v\r\n"},
    {"text stops at NUL", kNoFile, kWrite, "s\0x"s, "k\0y"s, "v\0z"s, "[s]\r\nk=v\r\n"},
    {"byte order mark stays", "\xef\xbb\xbf[s]\r\n", kWrite, "t", "k", "v",
     "\xef\xbb\xbf[s]\r\n[t]\r\nk=v\r\n"},
    {"ANSI bytes stay, new text is UTF-8", "[\xe6]\r\nk=\xb3\r\n", kWrite, "\xc3\xa6", "j", "\xc5\x9b\xc3\xbf",
     "[\xe6]\r\nk=\xb3\r\nj=\xc5\x9b\xc3\xbf\r\n",
     kByDesign, "a UTF-8 name finds the same name in the ANSI code page, where the API compares bytes", "[\xe6]\r\nk=\xb3\r\n[\xc3\xa6]\r\nj=\xc5\x9b\xc3\xbf\r\n"},
    {"lines before any header", "x=0\r\n\r\n[t]\r\n", kWrite, "", "k", "v", "x=0\r\nk=v\r\n\r\n[t]\r\n",
     kWineOnly, "Wine drops blank lines", "x=0\r\nk=v\r\n[t]\r\n"},
    {"...even when there are none", "[t]\r\n", kWrite, "", "k", "v", "k=v\r\n[t]\r\n"},
    {"erase the last section", "[t]\nb=2\n[s]\na=1", kErase, "S", "", "", "[t]\nb=2\n",
     kWineOnly, "Wine turns every line break into CR LF", "[t]\r\nb=2\r\n"},
    {"erase the first of duplicates", "[s]\r\na=1\r\n[t]\r\n[S]\r\nc=3\r\n", kErase, "s", "", "",
     "[t]\r\n[S]\r\nc=3\r\n"},
    {"erase blanks around the name", "[s]\r\na=1\r\n", kErase, " s\t", "", "", "",
     kByDesign, "the store trims the name it is given, as a read does; Wine's API erases nothing", "[s]\r\na=1\r\n"},
    {"erase the lines before any header", "x=0\r\n\r\n[t]\r\n", kErase, "", "", "", "[t]\r\n"},
};

}  // namespace testing_support
