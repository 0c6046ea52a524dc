// The data files live in the Windows folder that Windows names, and another
// copy of the program (another person's session) changes them meanwhile.
#include <gmock/gmock.h>

#include <filesystem>

#include "registry/undo.h"
#include "tests/scenario/process_fixture.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using R = RegistryProgram::Reply;

class SharedFiles : public RegistryProgram {
 protected:
  void Click(tk::Control& control) {
    ASSERT_TRUE(backend.Click(control)) << control.Name();
    backend.RunUntilIdle();
  }
  // Another copy acts while the box that starts with this text is up.
  void WhenBoxShows(const std::string& text, std::function<void()> other_copy) {
    backend.box_answerer = [=](const tk::headless::BoxRecord& box) {
      if (box.text.starts_with(text)) other_copy();
      return box.answer;
    };
  }
};

TEST_F(SharedFiles, EveryDataFileAndTheHelpFileFollowTheWindowsFolder) {
  std::filesystem::create_directories(scratch.path() / "d" / "WINNT");
  sys.files.MapDrive('D', scratch.path() / "d");
  sys.processes.SetWindowsFolder("D:\\WINNT");
  SeedAutostartKeys();
  Reg("[HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "]\n\"Stranger\"=\"C:\\\\stranger.exe\"\n");
  AnswerAlerts({R::Allow});
  StartAnswering();  // a first start: set up, then scanned
  EXPECT_EQ(Alerts(), 1);
  EXPECT_THAT(ReadFile("D:\\WINNT\\tester_config.vlt"), ::testing::HasSubstr("skonfigurowany=1"));
  registry::IniStore list(sys.files, "D:\\WINNT\\list.vlt");
  EXPECT_EQ(registry::ReadSlot(list, 0, "wartosc"), kQuotedExePath);
  EXPECT_EQ(registry::ReadSlot(list, 1, "wartosc"), "C:\\stranger.exe");
  EXPECT_TRUE(sys.files.Exists("D:\\WINNT\\veltrane.lck"));

  Click(Button("Button2"));
  ASSERT_EQ(sys.shell.StartedPrograms().size(), 1u);
  EXPECT_EQ(sys.shell.StartedPrograms()[0].arguments, "\"d:\\WINNT\\Veltrane.txt\"");
  Click(Button("Button8"));
  Click(Button("Button24"));
  EXPECT_EQ(ReadFile("D:\\WINNT\\temp.vlt"), "[veltrane]\r\nwersja=1.0\r\nupdate=6\r\n");
  // Nothing is assumed to be in C:\Windows.
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "Windows"));
}

TEST_F(SharedFiles, RecoverLeavesARecordThatAnotherCopyWroteIntoTheSlotMeanwhile) {
  SeedAutostartKeys();
  Reg("[HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "]\n\"App\"=\"C:\\\\same.exe\"\n");
  StartScanning({R::Delete});
  ASSERT_FALSE(HasValue("App"));
  // While the person confirms, the other copy put the entry back and its own
  // scan deleted another value of the same data into the freed slot.
  WhenBoxShows("You are putting this entry back", [this] {
    registry::IniStore other(sys.files, testing_support::kStatisticsPath);
    registry::EraseSlot(other, 0);
    registry::WriteSlot(other, 0, {{"korzen", "HKEY_LOCAL_MACHINE"}, {"klucz", kRun}, {"widok", "native"},
                                   {"nazwa", "Other"}, {"typ", "REG_SZ"}, {"wartosc", "C:\\same.exe"}});
  });
  Click(Button("Button25"));
  ASSERT_TRUE(backend.Select(List("list_rejestr"), 0));
  Click(Button("Button9"));
  EXPECT_TRUE(HasValue("App"));
  EXPECT_EQ(Boxes().back(), registry::kRecovered);
  EXPECT_EQ(Slot(testing_support::kStatisticsPath, 0, "nazwa"), "Other");
}

class SharedTrashcan : public ProcessProgram {};

TEST_F(SharedTrashcan, RecoverLeavesARecordThatAnotherCopyChangedMeanwhile) {
  StartConfigured();
  const std::string held = std::string(kTrash) + "agent.exe";
  MakeFile(held);
  std::filesystem::create_directories(scratch.path() / "Apps");
  {
    registry::IniStore can(sys.files, testing_support::kTrashcanListPath);
    registry::WriteSlot(can, 0, {{"plik", "agent.exe"}, {"sciezka", "C:\\Apps\\agent.exe"}});
  }
  backend.box_answerer = [this, held](const tk::headless::BoxRecord& box) {
    if (box.text == held + " C:\\Apps\\agent.exe") {
      registry::IniStore other(sys.files, testing_support::kTrashcanListPath);
      registry::WriteSlot(other, 0, {{"plik", "agent (2).exe"}});
    }
    return box.answer;
  };
  velmain->RefreshLists();
  Press(Find<tk::Page>("smietnik"), List("list_smietnik"), Button("Button10"), "C:\\Apps\\agent.exe");
  EXPECT_EQ(backend.BoxTexts().back(), "Item was moved back to its normal directory.");
  EXPECT_TRUE(FileThere("C:\\Apps\\agent.exe"));
  registry::IniStore can(sys.files, testing_support::kTrashcanListPath);
  EXPECT_EQ(registry::ReadSlot(can, 0, "plik"), "agent (2).exe");
}

}  // namespace
}  // namespace scenario
