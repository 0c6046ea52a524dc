// An allowed entry is bound to its program's file: a program replaced
// behind it is asked about again, however the replacement hides.
#include <chrono>
#include <filesystem>

#include "platform/sha256.h"
#include "tests/scenario/registry_fixture.h"

namespace scenario {
namespace {

using R = RegistryProgram::Reply;
constexpr const char* kTool = "C:\\Apps\\tool.exe";
constexpr const char* kChanged = "Allowed program changed!";

class Binding : public RegistryProgram {
 protected:
  Binding() {
    sys.files.MakeFolder("C:\\Apps");
    Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Tool\"=\"C:\\\\Apps\\\\tool.exe\"\n");
    Configure("auto_skan_rejestru=1");
  }
  // The next start's scan, answering from the script; how many alerts it showed.
  int NextStart(std::initializer_list<Reply> replies = {}) {
    const int before = Alerts();
    AnswerAlerts(replies);
    Restart();
    return Alerts() - before;
  }
  std::vector<std::vector<std::string>> Logged(events::Event event) {
    std::vector<std::vector<std::string>> strings;
    for (const auto& e : sys.event_log.events)
      if (e.id == event.id) strings.push_back(e.strings);
    return strings;
  }
};

TEST_F(Binding, AReplacedProgramIsAskedAboutAgainAndAllowRebindsTheSameSlot) {
  WriteFile(kTool, "first version");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].header, "Registry modification alert!");
  EXPECT_EQ(WhiteSlot(0, "skrot"), platform::Sha256Hex("first version"));
  EXPECT_EQ(WhiteSlot(0, "rozmiar"), "13");
  EXPECT_NE(WhiteSlot(0, "zmiana"), "err");
  EXPECT_NE(WhiteSlot(0, "plik_id"), "err");
  EXPECT_EQ(NextStart(), 0);

  // Another size: asked at once, and logged with its facts.
  WriteFile(kTool, "second, longer version");
  ASSERT_EQ(NextStart({R::Allow}), 1);
  EXPECT_EQ(shown[1].header, kChanged);
  EXPECT_EQ(Logged(events::kAllowedProgramChanged),
            (std::vector<std::vector<std::string>>{
                {"Local machine, autostart.", "Tool", kTool, "(none given)", "Not signed"}}));
  EXPECT_EQ(WhiteSlot(0, "skrot"), platform::Sha256Hex("second, longer version"));
  EXPECT_EQ(WhiteSlot(1), "err");
  EXPECT_EQ(NextStart(), 0);
}

// Same size, same write time, same file: only the day's hash tells.
TEST_F(Binding, AReplacementThatKeepsItsIdentityIsFoundByTheDailyHash) {
  WriteFile(kTool, "version A");
  StartScanning({R::Allow});
  const std::filesystem::path host = *sys.files.HostPath(kTool);
  const auto written = std::filesystem::last_write_time(host);
  WriteFile(kTool, "version B");
  std::filesystem::last_write_time(host, written);
  EXPECT_EQ(NextStart(), 0);

  sys.system.Advance(std::chrono::hours(25));
  ASSERT_EQ(NextStart({R::Delete}), 1);
  EXPECT_EQ(shown[1].header, kChanged);
  EXPECT_FALSE(HasValue("Tool"));
}

// A slot of an older version is bound at its first scan without a
// question; one whose program did not exist asks once a file is there.
TEST_F(Binding, OldSlotsAreBoundSilentlyAndAMissingProgramThatAppearsIsAsked) {
  WriteFile(kTool, "installed");
  SetWhiteSlot(0, kTool);
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Later\"=\"C:\\\\Apps\\\\later.exe\"\n");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Later");
  EXPECT_EQ(WhiteSlot(0, "skrot"), platform::Sha256Hex("installed"));
  EXPECT_EQ(WhiteSlot(1, "skrot"), "brak");

  WriteFile(kTool, "replaced by another");
  WriteFile("C:\\Apps\\later.exe", "arrived");
  ASSERT_EQ(NextStart({R::Allow, R::Allow}), 2);
  EXPECT_EQ(shown[1].header, kChanged);
  EXPECT_EQ(shown[2].header, kChanged);
  EXPECT_EQ(WhiteSlot(1, "skrot"), platform::Sha256Hex("arrived"));
  EXPECT_EQ(NextStart(), 0);
}

// A class override is bound through its command, in its baseline record:
// replaced, it is asked about again, and "Allow" binds that record anew.
TEST_F(Binding, AnOverridesProgramIsBoundThroughItsBaselineRecord) {
  WriteFile(kTool, "allowed");
  SetWhiteSlot(0, kTool);
  Reg("[HKEY_CURRENT_USER\\Software\\Classes\\exefile\\shell\\open\\command]\n@=\"C:\\\\Apps\\\\tool.exe\"\n");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(Slot("C:\\Windows\\baseline.vlt", 0, "skrot_pliku"), platform::Sha256Hex("allowed"));
  EXPECT_EQ(NextStart(), 0);
  WriteFile(kTool, "replaced");
  ASSERT_EQ(NextStart({R::Allow, R::Allow}), 2);
  EXPECT_EQ(shown[2].header, kChanged);
  EXPECT_EQ(shown[2].name, "exefile");
  EXPECT_EQ(Slot("C:\\Windows\\baseline.vlt", 0, "skrot_pliku"), platform::Sha256Hex("replaced"));
  EXPECT_EQ(NextStart(), 0);
}

TEST_F(Binding, AProgramThatCannotBeReadIsToldOnceAndNotBound) {
  WriteFile(kTool, "locked away");
  sys.program_files.DenyReading(kTool);
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(WhiteSlot(0, "skrot"), "err");
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(),
            "Veltrane may not read the program C:\\Apps\\tool.exe, so it cannot tell whether it changed.");
}

}  // namespace
}  // namespace scenario
