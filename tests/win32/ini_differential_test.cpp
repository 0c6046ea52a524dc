// The INI store against the Win32 profile API itself: each case of the shared
// table (tests/support/ini_cases.h, which the unit tests run on the store
// alone) runs through GetPrivateProfileStringW (the text as UTF-8) or
// WritePrivateProfileStringA on one temp file and through IniStore (over the
// win32 Files backend) on another with the same bytes; both must give the
// case's result: the returned text, and for writes the file's bytes and what
// the profile API reads from both files afterwards. Writes go through the ...A function because the
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
#include "tests/support/ini_cases.h"

namespace registry {
namespace {

using namespace std::string_literals;

using namespace testing_support;

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
std::string ApiRead(const IniCase& c, const std::string& path) {
  using platform::win32::Wide;
  wchar_t buffer[2048];
  DWORD n = GetPrivateProfileStringW(Wide(c.section).c_str(), Wide(c.key).c_str(), Wide(c.arg).c_str(),
                                     buffer, DWORD(std::size(buffer)), Wide(path).c_str());
  return platform::win32::Utf8(buffer, n);
}

void ApiEdit(const IniCase& c, const std::string& path) {
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
  if (UnderWine()) {
    EXPECT_EQ(GetACP(), 1252u) << "set LC_ALL for the Wine runs";
  }
}

class IniDifferential : public ::testing::TestWithParam<size_t> {};

TEST_P(IniDifferential, StoreAgreesWithTheProfileApi) {
  const IniCase& c = kIniCases[GetParam()];
  SCOPED_TRACE(std::string(c.name) + (c.differs != kSame ? std::string(" (differs: ") + c.why + ")" : ""));
  const bool wine = UnderWine();
  // What the API must give: the store's result, unless the case says otherwise.
  const bool api_as_store = c.differs == kSame || (c.differs == kWineOnly && !wine);
  const std::string base = Folder() + "\\case" + std::to_string(GetParam());
  const std::string api_path = base + "-api.ini", store_path = base + "-store.ini";
  Put(api_path, c.content);
  Put(store_path, c.content);

  platform::win32::Win32Files files;
  IniStore store(files, store_path);

  if (c.op == kRead) {
    const std::string api = ApiRead(c, api_path);
    EXPECT_EQ(Show(store.ReadString(c.section, c.key, c.arg)), Show(c.expected));
    if (api_as_store) {
      EXPECT_EQ(Show(api), Show(c.expected));
    } else if (wine && c.wine) {
      EXPECT_EQ(Show(api), Show(c.wine));
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
  EXPECT_EQ(Show(mine), Show(c.expected));
  if (c.differs == kProtected) {
    IniCase read_back = c;
    read_back.arg = "(missing)";
    EXPECT_EQ(Show(ApiRead(read_back, store_path)), Show(c.arg)) << "the API does not read back what was written";
    return;
  }
  if (api_as_store) {
    EXPECT_EQ(Show(api), Show(c.expected));
  } else if (wine && c.wine) {
    EXPECT_EQ(Show(api), Show(c.wine));
  }
  // Whatever the bytes, both files must mean the same to the profile API.
  if (c.differs == kSame || c.differs == kWineOnly) {
    EXPECT_EQ(ApiDump(store_path), ApiDump(api_path));
  }
}

INSTANTIATE_TEST_SUITE_P(Ini, IniDifferential, ::testing::Range<size_t>(0, std::size(kIniCases)),
                         [](const auto& info) {
                           std::string name = std::to_string(info.param) + "_";
                           for (const char* p = kIniCases[info.param].name; *p; ++p) {
                             name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace registry
