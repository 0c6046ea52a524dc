// The memory page's buttons and the trashcan page: moving programs aside,
// back, and away for good.
#include <gmock/gmock.h>

#include <utility>

#include "process/trashcan.h"
#include "tests/scenario/process_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kAgent = "C:\\Apps\\agent.exe";
const std::string kHeld = std::string(kTrash) + "agent.exe";
constexpr const char* kCan = testing_support::kTrashcanListPath;
constexpr const char* kBlack = testing_support::kBlackListPath;
using Step = ProcessProgram::Step;

class ProcessTrashcan : public ProcessProgram {
 protected:
  app::Tvelmain& w() { return *velmain; }
  void PressOnMemoryPage(tk::Button& b, const std::string& line = {}) {
    w().RefreshProcessList();
    Press(Find<tk::Page>("pamiec"), List("list_pamiec"), b, line);
  }
  void PressOnTrashcanPage(tk::Button& b, const std::string& line) {
    w().RefreshLists();
    // A line no slot holds as written (another letter case) is added by hand.
    auto& items = List("list_smietnik").Items();
    if (std::find(items.begin(), items.end(), line) == items.end()) List("list_smietnik").AddItem(line);
    Press(Find<tk::Page>("smietnik"), List("list_smietnik"), b, line);
  }
  // What a program of the person can do to their own folders: the folder
  // goes aside, and a symbolic link to target takes its place.
  void SwapForLink(const std::string& folder, const std::string& target) {
    const std::filesystem::path host = *sys.files.HostPath(folder);
    std::filesystem::rename(host, host.string() + ".shown");
    std::filesystem::create_directory_symlink(*sys.files.HostPath(target), host);
  }
  void FillSlots(const char* file) {
    std::string text;
    for (int n = 0; n <= registry::kLastSlot; ++n) text += "[" + std::to_string(n) + "]\r\nsciezka=x\r\n";
    WriteFile(file, text);
  }
};

TEST_F(ProcessTrashcan, FailedCopyRecordsNothingAndFailedDeleteKeepsTheEntry) {
  StartConfigured();
  velmain->protection().MoveToTrashcan(kAgent);  // no such file
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Could not copy this file. Remove it manually."));
  EXPECT_EQ(Slot(kCan, 0), "err");
  EXPECT_FALSE(FileThere(kHeld));

  backend.ClearBoxes();
  MakeFile("C:\\Apps\\pinned.exe");
  sys.files.SetReadOnly("C:\\Apps\\pinned.exe");
  velmain->protection().MoveToTrashcan("C:\\Apps\\pinned.exe");
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Could not delete source file. Do it manually."));
  EXPECT_EQ(Slot(kCan, 0), "C:\\Apps\\pinned.exe");
}

TEST_F(ProcessTrashcan, RecoverFoldsCaseAndFailsIntoAVanishedFolder) {
  StartConfigured();
  MakeFile(kHeld);
  MakeFile(std::string(kTrash) + "tool.exe");
  MakeFile("C:\\Apps\\keep.txt");
  SetSlot(kCan, 2, "C:\\Gone\\agent.exe");
  SetSlot(kCan, 3, "C:\\Apps\\tool.exe");
  PressOnTrashcanPage(Button("Button10"), "c:\\apps\\TOOL.exe");
  EXPECT_EQ(backend.BoxTexts().back(), "Item was moved back to its normal directory.");
  EXPECT_TRUE(FileThere("C:\\Apps\\tool.exe"));
  EXPECT_EQ(Slot(kCan, 3), "err");

  backend.ClearBoxes();
  PressOnTrashcanPage(Button("Button10"), "C:\\Gone\\agent.exe");
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("You are moving this item to its previous directory. Are you sure?",
                                              kHeld + " C:\\Gone\\agent.exe", "Error occured."));
  EXPECT_EQ(backend.Boxes().back().kind, tk::MsgKind::Warning);
  EXPECT_EQ(Slot(kCan, 2), "C:\\Gone\\agent.exe");
  EXPECT_TRUE(FileThere(kHeld));
}

// --- Files are acted on only where they were shown. Wine, where the
// Windows build of these tests runs, makes no symbolic links; the Windows
// backend is tested there with a link the test runner makes.
#ifndef _WIN32
TEST_F(ProcessTrashcan, AFolderSwappedForALinkAfterTheAlertMovesNoFile) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  MakeFile(kAgent);
  MakeFile("C:\\Secret\\agent.exe");
  WriteFile("C:\\Secret\\agent.exe", "administrators only");
  SetSlot(kBlack, 0, kAgent);
  AnswerAlerts({Step::Tick, Step::Stop});
  bool swapped = false;
  backend.modal_answerer = [this, &swapped, answer = backend.modal_answerer](tk::Form& form) {
    if (!std::exchange(swapped, true)) SwapForLink("C:\\Apps", "C:\\Secret");
    return answer(form);
  };
  w().RefreshProcessList();
  ScanMemory();
  ASSERT_TRUE(swapped);
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(process::kNotTrashedFolderChanged));
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10));  // "Stop!" is still done
  EXPECT_EQ(ReadFile("C:\\Secret\\agent.exe"), "administrators only");
  EXPECT_EQ(ReadFile("C:\\Apps.shown\\agent.exe"), "MZ");
  EXPECT_FALSE(FileThere(kHeld));
  EXPECT_EQ(Slot(kCan, 0), "err");
}

TEST_F(ProcessTrashcan, AFilePutInTheProgramsPlaceWhileItStopsIsLeftAlone) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  sys.processes.SetSlowToEnd(10, 2);
  MakeFile(kAgent);
  w().RefreshProcessList();
  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("pamiec"));
  ASSERT_TRUE(backend.Select(List("list_pamiec"), 0));
  backend.AnswerBoxes({tk::ModalResult::Yes});
  ASSERT_TRUE(backend.Click(Button("Button15")));
  // Runs while the stop waits, after the program's file was opened.
  backend.Post([this] {
    std::filesystem::rename(*sys.files.HostPath(kAgent), *sys.files.HostPath("C:\\Apps\\agent.old"));
    WriteFile(kAgent, "someone else's");
  });
  backend.RunUntilIdle();
  EXPECT_FALSE(sys.processes.Running(10));
  EXPECT_EQ(backend.BoxTexts().back(), process::kNotTrashedFolderChanged);
  EXPECT_EQ(ReadFile(kAgent), "someone else's");
  EXPECT_EQ(ReadFile("C:\\Apps\\agent.old"), "MZ");
  EXPECT_FALSE(FileThere(kHeld));
  EXPECT_EQ(Slot(kCan, 0), "err");
}

TEST_F(ProcessTrashcan, RecoverGoesNeitherThroughALinkNorOverAFile) {
  StartConfigured();
  MakeFile(kHeld);
  MakeFile(std::string(kTrash) + "tool.exe");
  MakeFile("C:\\Secret\\Sub\\keep.txt");
  MakeFile("C:\\Apps\\Sub\\keep.txt");
  MakeFile("C:\\Tools\\tool.exe");  // another file at the old place
  SetSlot(kCan, 0, "C:\\Apps\\Sub\\agent.exe");
  SetSlot(kCan, 1, "C:\\Tools\\tool.exe");
  SwapForLink("C:\\Apps", "C:\\Secret");
  PressOnTrashcanPage(Button("Button10"), "C:\\Apps\\Sub\\agent.exe");
  EXPECT_EQ(backend.BoxTexts().back(), process::kNotRecoveredFolderChanged);
  EXPECT_EQ(backend.Boxes().back().kind, tk::MsgKind::Warning);
  EXPECT_FALSE(FileThere("C:\\Secret\\Sub\\agent.exe"));

  backend.ClearBoxes();
  PressOnTrashcanPage(Button("Button10"), "C:\\Tools\\tool.exe");
  EXPECT_EQ(backend.BoxTexts().back(), "Error occured.");
  for (const std::string& file : {kHeld, std::string(kTrash) + "tool.exe"}) EXPECT_TRUE(FileThere(file)) << file;
  EXPECT_EQ(Slot(kCan, 0), "C:\\Apps\\Sub\\agent.exe");
  EXPECT_EQ(Slot(kCan, 1), "C:\\Tools\\tool.exe");
}
#endif

TEST_F(ProcessTrashcan, TheTrashcanIsInTheProgramFilesFolderWindowsNames) {
  const std::filesystem::path d = scratch.path() / "d";
  std::filesystem::create_directories(d / "Programs" / "Quorvik" / "Veltrane" / "Trashcan");
  sys.files.MapDrive('D', d);
  sys.system.SetProgramFilesFolder("D:\\Programs");
  StartConfigured();
  sys.processes.Add(10, kAgent);
  MakeFile(kAgent);
  const std::string held = "D:\\Programs\\Quorvik\\Veltrane\\Trashcan\\agent.exe";
  velmain->protection().MoveToTrashcan(kAgent);
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_EQ(ReadFile(held), "MZ");
  EXPECT_FALSE(FileThere(kAgent));
  EXPECT_FALSE(FileThere(kHeld));

  PressOnTrashcanPage(Button("Button10"), kAgent);
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("You are moving this item to its previous directory. Are you sure?",
                                              held + " " + kAgent, "Item was moved back to its normal directory."));
  EXPECT_EQ(ReadFile(kAgent), "MZ");
}

TEST_F(ProcessTrashcan, EmptyMatchesExactlyAndAnEmptiedLineFindsNothing) {
  StartConfigured();
  MakeFile(kHeld);
  SetSlot(kCan, 0, kAgent);
  const char* kConfirm = "You are permanently deleting this item. Are you sure?";
  PressOnTrashcanPage(Button("Button21"), "c:\\apps\\AGENT.exe");
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(kConfirm));
  EXPECT_TRUE(FileThere(kHeld));

  for (const char* after : {"Item was removed permanently. Hope you knew what you were doing.", ""}) {
    backend.ClearBoxes();
    PressOnTrashcanPage(Button("Button21"), kAgent);
    EXPECT_EQ(backend.BoxTexts().front(), kConfirm);
    EXPECT_EQ(backend.BoxTexts().size(), *after ? 2u : 1u);
    if (*after) {
      EXPECT_EQ(backend.BoxTexts().back(), after);
    }
  }
  EXPECT_FALSE(FileThere(kHeld));
  EXPECT_EQ(Slot(kCan, 0), "err");
}

TEST_F(ProcessTrashcan, FullListsAreSaidAndChangeNothing) {
  StartConfigured();
  FillSlots(kCan);
  FillSlots(kBlack);
  sys.processes.Add(10, kAgent);
  MakeFile(kAgent);
  PressOnMemoryPage(Button("Button15"), kAgent);
  ASSERT_EQ(backend.Boxes().size(), 2u);
  EXPECT_EQ(backend.Boxes()[1].kind, tk::MsgKind::Warning);
  EXPECT_TRUE(sys.processes.Running(10));
  EXPECT_TRUE(FileThere(kAgent));

  backend.ClearBoxes();
  PressOnMemoryPage(Button("Button20"), kAgent);
  ASSERT_EQ(backend.Boxes().size(), 2u);
  EXPECT_EQ(backend.Boxes()[0].text, kAgent);
  EXPECT_EQ(backend.Boxes()[1].kind, tk::MsgKind::Warning);
}

TEST_F(ProcessTrashcan, DisallowBlocksAgainInTheLowestFreeSlotAndLeavesTheProcessRunning) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  SetSlot(kBlack, 0, kAgent);
  SetSlot(kBlack, 2, "C:\\Other.exe");
  PressOnMemoryPage(Button("Button20"), kAgent);
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(kAgent, "Program was blocked successfuly."));
  EXPECT_EQ(Slot(kBlack, 1), kAgent);
  EXPECT_TRUE(sys.processes.Running(10));
}

TEST_F(ProcessTrashcan, MemoryPageButtonsNeedASelectionAndAlwaysRebuildTheList) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  sys.processes.Add(11, "C:\\Windows\\explorer.exe");
  sys.processes.Add(12, kAgent);
  for (tk::Button* b : {&Button("Button14"), &Button("Button15"), &Button("Button20")}) {
    SCOPED_TRACE(b->Name());
    backend.ClearBoxes();
    List("list_pamiec").Clear();
    Press(Find<tk::Page>("pamiec"), List("list_pamiec"), *b);
    ASSERT_EQ(backend.Boxes().size(), 1u);
    EXPECT_EQ(backend.Boxes()[0].text, "Select an item first.");
    EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Error);
    EXPECT_EQ(List("list_pamiec").Count(), 3);
  }
  backend.AnswerBoxes({tk::ModalResult::No});
  PressOnMemoryPage(Button("Button15"), kAgent);
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  EXPECT_EQ(List("list_pamiec").ItemIndex(), -1);

  PressOnMemoryPage(Button("Button14"), kAgent);  // both instances go
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10, 12));
  EXPECT_THAT(List("list_pamiec").Items(), ElementsAre("C:\\Windows\\explorer.exe"));
}

}  // namespace
}  // namespace scenario
