// The registry scan sees, shows and acts on exactly the entry that is there:
// names and data in any script, old lists in the ANSI code page, the
// program's own value, data the lists cannot hold, huge data and data with a
// NUL inside.
#include "process/trashcan.h"
#include "registry/scan.h"
#include "registry/undo.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using platform::RootKey;
using R = RegistryProgram::Reply;

const std::string kKey = "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87";                                  // Ключ
const std::string kApp = "C:\\\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBE\xD0\xB6\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5\\app.exe";  // C:\Приложение\app.exe
// The same path as an older version wrote it, in code page 1251.
const std::string kApp1251 = "C:\\\xCF\xF0\xE8\xEB\xEE\xE6\xE5\xED\xE8\xE5\\app.exe";

platform::RegValue Text(const std::string& data) { return platform::RegValue{uint32_t(platform::ValueType::Sz), data}; }

class RegistryExactness : public RegistryProgram {
 protected:
  void Set(const std::string& name, const std::string& data, RootKey root = RootKey::LocalMachine) {
    sys.registry.Set(root, kRun, name, Text(data));
  }
  int Rescan(std::initializer_list<Reply> replies) {
    const int before = Alerts();
    AnswerAlerts(replies);
    FullRegistryScan();
    backend.RunUntilIdle();
    return Alerts() - before;
  }
};

// --- Names and data outside any one code page

TEST_F(RegistryExactness, CyrillicNamesAndDataAreAskedAboutExactlyAndDeleted) {
  SeedAutostartKeys();
  Set(kKey, "C:\\evil.exe");
  Set("App", kApp);
  Set("K\xD0\xBB\xD1\x8E\xD1\x87", "C:\\look-alike.exe");  // a Latin K
  StartScanning({R::Delete, R::Delete, R::Allow});
  ASSERT_EQ(Alerts(), 3);
  EXPECT_EQ(shown[0].name, kKey);
  EXPECT_EQ(shown[0].value, "C:\\evil.exe");
  EXPECT_EQ(shown[1].name, "App");
  EXPECT_EQ(shown[1].value, kApp);
  EXPECT_EQ(shown[1].path, kApp.substr(0, kApp.size() - 7));
  EXPECT_EQ(shown[1].exe, "app.exe");
  EXPECT_FALSE(HasValue("App"));
  EXPECT_FALSE(HasValue(kKey));
  EXPECT_TRUE(HasValue("K\xD0\xBB\xD1\x8E\xD1\x87"));
  EXPECT_EQ(Rescan({}), 0);
}

TEST_F(RegistryExactness, AnOldAnsiWhiteListStillMatchesAndNewEntriesGoInAsUtf8) {
  SeedAutostartKeys();
  sys.files.SetAnsiCodePage(1251);
  WriteList(testing_support::kWhiteListPath, "[0]\r\nwartosc=" + kApp1251 + "\r\n");
  Set("App", kApp);
  Set(kKey, "C:\\" + kKey + ".exe");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, kKey);
  // Neither program exists, which each slot records.
  EXPECT_EQ(ReadFile(testing_support::kWhiteListPath),
            "[0]\r\nwartosc=" + kApp1251 + "\r\nskrot=brak\r\n[1]\r\nnumer=1\r\nnazwa=" + kKey +
                "\r\nsekcja=HKLM_run\r\nwartosc=C:\\" + kKey + ".exe\r\nskrot=brak\r\n");
  EXPECT_EQ(Rescan({}), 0);
}

// --- The black list after "Delete"

TEST_F(RegistryExactness, DataTheBlackListCannotHoldIsDeletedAndTheScanGoesOn) {
  SeedAutostartKeys();
  const std::string long_data = "C:\\" + std::string(3000, 'l') + ".exe";
  const std::string two_lines = "C:\\a.exe\r\nC:\\b.exe";
  Set("A-Long", long_data);
  Set("B-Lines", two_lines);
  Set("C-Next", "C:\\next.exe");
  StartScanning({R::DeleteTicked, R::DeleteTicked, R::Allow});
  ASSERT_EQ(Alerts(), 3);
  EXPECT_EQ(shown[2].name, "C-Next");
  EXPECT_FALSE(HasValue("A-Long"));
  EXPECT_FALSE(HasValue("B-Lines"));
  const std::string confirm = "Are you sure that you want to remove this registry entry?";
  // Neither can be recorded for undo, which is said before each goes.
  const std::string no_undo(registry::kUndoNotStorable);
  EXPECT_EQ(Boxes(), (std::vector<std::string>{confirm, no_undo, long_data, process::kNotBlockable, confirm, no_undo,
                                               two_lines, process::kNotBlockable}));
  EXPECT_EQ(ReadFile(testing_support::kBlackListPath), "");
  EXPECT_EQ(WhiteSlot(0), "C:\\next.exe");
}

// --- The program's own value

TEST_F(RegistryExactness, TheProgramsOwnValueIsNeverAskedAbout) {
  SeedAutostartKeys();
  Set("veltrane.exe", kExePath, RootKey::CurrentUser);  // as older versions wrote it
  Set("Mine", kQuotedExePath);
  Set("Loud", "\"C:\\PROGRAM FILES\\QUORVIK\\VELTRANE\\VELTRANE.EXE\"");
  Set("Other", "\"" + std::string(kExePath) + "\" /extra");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Other");
}

TEST_F(RegistryExactness, TheFirstRunAllowsItsOwnValueOnceInTheLowestFreeSlot) {
  struct Case {
    const char* why;
    std::string list_before, list_after;
  } cases[] = {
      {"empty list", "", "[0]\r\nnumer=0\r\nsekcja=HKLM_run\r\nwartosc=\"" + kQuotedExePath + "\"\r\n"},
      {"another user's slot 0 stays", "[0]\r\nwartosc=C:\\theirs.exe\r\n",
       "[0]\r\nwartosc=C:\\theirs.exe\r\n[1]\r\nnumer=1\r\nsekcja=HKLM_run\r\nwartosc=\"" + kQuotedExePath + "\"\r\n"},
      {"already there, bare", "[3]\r\nwartosc=" + std::string(kExePath) + "\r\n",
       "[3]\r\nwartosc=" + std::string(kExePath) + "\r\n"},
      {"already there, quoted", "[7]\r\nwartosc=\"" + kQuotedExePath + "\"\r\n",
       "[7]\r\nwartosc=\"" + kQuotedExePath + "\"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (velmain) Restart();
    WriteFile(registry::ConfigPath("C:\\Windows", kUser), "");
    WriteFile(testing_support::kWhiteListPath, c.list_before);
    Restart();
    EXPECT_EQ(backend.Boxes().size(), 4u);
    EXPECT_EQ(ReadFile(testing_support::kWhiteListPath), c.list_after);
    EXPECT_EQ(AutoRunValue(), kQuotedExePath);
  }
}

TEST_F(RegistryExactness, AnEmptyOwnPathIsWrittenNowhere) {
  SeedAutostartKeys();
  sys.system.SetExePath("");
  Set("Empty", "\"\"");
  StartScanning({R::Allow});
  // The own path could not be had: "" is nobody's command and is asked about.
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Empty");
  Restart();
  WriteFile(registry::ConfigPath("C:\\Windows", kUser), "");
  WriteFile(testing_support::kWhiteListPath, "");
  AnswerAlerts({R::Allow});
  Restart();
  EXPECT_EQ(ReadFile(testing_support::kWhiteListPath).find("wartosc=\r\n"), std::string::npos);
  EXPECT_EQ(AutoRunValue(), std::nullopt);
  EXPECT_EQ(sys.registry.Get(RootKey::CurrentUser, kRun, ""), std::nullopt);
}

// --- Huge and odd data

TEST_F(RegistryExactness, HugeDataIsShownCutAndNeverMatched) {
  SeedAutostartKeys();
  const std::string huge = "C:\\" + std::string(1 << 20, 'h') + "\\huge.exe";
  Set("Huge", huge);
  // A slot holding its start: a list returns no more than that, so it is no match.
  WriteList(testing_support::kWhiteListPath, "[0]\r\nwartosc=" + huge.substr(0, registry::IniStore::kMaxRead) + "\r\n");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  const std::string mark = "(" + std::to_string(huge.size()) + " characters, cut) ";
  EXPECT_EQ(shown[0].value, mark + huge.substr(0, registry::kShownChars));
  EXPECT_EQ(shown[0].exe, std::string(registry::kShownChars - 3, 'h'));
  EXPECT_EQ(Boxes(), std::vector<std::string>{std::string(registry::kNotStorable)});
  EXPECT_TRUE(HasValue("Huge"));
  EXPECT_EQ(Rescan({R::Delete}), 1);
  EXPECT_FALSE(HasValue("Huge"));
}

TEST_F(RegistryExactness, DataWithANulIsAskedAboutAsWindowsRunsIt) {
  SeedAutostartKeys();
  Set("Nul", std::string("C:\\x.exe\0C:\\hidden.exe", 22));
  Set("Padded", std::string("C:\\padded.exe\0\0", 15));
  Set("Big", "C:\\big.exe" + std::string(1, '\0') + std::string(100000, 'b'));
  StartScanning({R::Allow, R::Allow, R::Allow});
  ASSERT_EQ(Alerts(), 3);
  EXPECT_EQ(shown[0].name, "Nul");
  EXPECT_EQ(shown[0].value, std::string(registry::kMoreAfterNul) + "C:\\x.exe");
  EXPECT_EQ(shown[0].path, "C:\\");
  EXPECT_EQ(shown[0].exe, "x.exe");
  EXPECT_EQ(shown[1].value, "C:\\padded.exe");  // NULs at the end are padding
  EXPECT_EQ(shown[2].name, "Big");
  EXPECT_EQ(shown[2].value, std::string(registry::kMoreAfterNul) + "C:\\big.exe");
  // What is allowed is what Windows runs, and it is known from then on.
  EXPECT_EQ(WhiteSlot(0), "C:\\x.exe");
  EXPECT_EQ(WhiteSlot(2), "C:\\big.exe");
  EXPECT_EQ(Rescan({}), 0);
}

}  // namespace
}  // namespace scenario
