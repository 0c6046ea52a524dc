// The memory scan, the memory page and the trashcan act on exactly the
// program that is meant: the executable part ends at a real ".exe", Windows'
// own programs are left alone, a stop hits only what was checked, and every
// trashcan entry owns its own file.
#include <gmock/gmock.h>

#include "process/memory_scan.h"
#include "process/trashcan.h"
#include "tests/scenario/process_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Step = ProcessProgram::Step;

constexpr const char* kAgent = "C:\\Apps\\agent.exe";
constexpr const char* kBlack = testing_support::kBlackListPath;
constexpr const char* kCan = testing_support::kTrashcanListPath;

class ProcessExactness : public ProcessProgram {
 protected:
  app::Tvelmain& w() { return *velmain; }
  void Scan(bool silent) {
    Tick("skanuj_usun_cicho", silent);
    w().RefreshProcessList();
    ScanMemory();
  }
  void PressOnMemoryPage(tk::Button& b, const std::string& line) {
    w().RefreshProcessList();
    Press(Find<tk::Page>("pamiec"), List("list_pamiec"), b, line);
  }
  std::string TrashKey(int slot, const char* key) {
    registry::IniStore store(sys.files, kCan);
    return registry::ReadSlot(store, slot, key).value_or("err");
  }
};

// --- The executable part of an entry

TEST_F(ProcessExactness, AFolderNamedLikeAnExeDoesNotEndTheExecutablePart) {
  StartConfigured();
  sys.processes.Add(30, "C:\\Tools\\my.executables\\agent.exe");
  sys.processes.Add(31, "C:\\Tools\\my.exe");
  sys.processes.Add(32, "C:\\Tools\\agent.exe.bak");
  SetSlot(kBlack, 0, "C:\\Tools\\my.executables\\agent.exe /background");
  SetSlot(kBlack, 1, "C:\\Tools\\agent.exe.bak");  // the entry is the path: always
  Scan(true);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(30, 32));
  EXPECT_TRUE(sys.processes.Running(31));
}

// --- Windows' own programs

TEST_F(ProcessExactness, ACommandLineRunByAWindowsHostIsKeptButNeverStopsTheHost) {
  StartConfigured();
  const std::string rundll = "C:\\Windows\\System32\\rundll32.exe";
  const std::string entry = rundll + " C:\\x\\evil.dll,Run";
  sys.processes.Add(40, rundll);
  sys.processes.Add(41, "C:\\Windows\\System32\\cmd.exe");
  velmain->protection().BlockProgram(entry);
  EXPECT_THAT(backend.BoxTexts(),
              ElementsAre(entry, "Program was blocked successfuly.\r\n\r\nIt is started by rundll32.exe, which is part "
                                 "of Windows. Veltrane will not stop rundll32.exe because of this entry, since that "
                                 "would stop Windows' own work too."));
  EXPECT_EQ(Slot(kBlack, 0), entry);
  SetSlot(kBlack, 1, "\"C:\\Windows\\System32\\cmd.exe\" /c C:\\x\\evil.bat");
  Scan(true);
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  // The host itself, black-listed as such, is what the user asked for.
  SetSlot(kBlack, 2, rundll);
  Scan(true);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(40));
}

TEST_F(ProcessExactness, OnlyWindowsOwnPlacesMakeAHostSoANamesakeInTempIsStopped) {
  StartConfigured();
  const std::string temp = "C:\\Windows\\Temp\\svchost.exe";
  sys.processes.Add(70, temp);
  sys.processes.Add(71, "C:\\Windows\\System32\\svchost.exe");
  sys.processes.Add(72, "C:\\Windows\\SysWOW64\\svchost.exe");
  velmain->protection().BlockProgram(temp + " -k x");
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(temp + " -k x", "Program was blocked successfuly."));
  SetSlot(kBlack, 1, "C:\\Windows\\System32\\svchost.exe -k netsvcs");
  SetSlot(kBlack, 2, "C:\\Windows\\SysWOW64\\svchost.exe -k netsvcs");
  sys.processes.SetIs64BitWindows(true);
  AnswerAlerts({Step::Stop});
  Scan(false);
  EXPECT_EQ(Alerts(), 1);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(70));
  // 32-bit Windows has no SysWOW64 of its own: a program there is anyone's.
  sys.processes.SetIs64BitWindows(false);
  Scan(true);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(70, 72));
  EXPECT_TRUE(sys.processes.Running(71));
}

TEST_F(ProcessExactness, WindowsOwnProcessesAreNeverStoppedTrashedOrForbidden) {
  StartConfigured();
  const std::string csrss = "C:\\Windows\\System32\\csrss.exe";  // known by its place
  const std::string guard = "C:\\Apps\\guard.exe";                // marked critical by Windows
  sys.processes.Add(50, csrss);
  sys.processes.Add(51, guard);
  sys.processes.SetCritical(51);
  MakeFile(csrss);
  MakeFile(guard);
  for (const std::string& path : {csrss, guard}) {
    SCOPED_TRACE(path);
    for (tk::Button* b : {&Button("Button14"), &Button("Button15"), &Button("Button20")}) {
      backend.ClearBoxes();
      PressOnMemoryPage(*b, path);
      ASSERT_FALSE(backend.BoxTexts().empty());
      EXPECT_EQ(backend.BoxTexts().back(), process::kWindowsNeedsIt) << b->Name();
      EXPECT_EQ(backend.Boxes().back().kind, tk::MsgKind::Warning);
    }
    EXPECT_TRUE(FileThere(path));
  }
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  EXPECT_EQ(Slot(kBlack, 0), "err");
  EXPECT_EQ(Slot(kCan, 0), "err");

  // Put on the list by hand: the scan says why it leaves them, and asks nothing.
  SetSlot(kBlack, 0, csrss);
  SetSlot(kBlack, 1, guard);
  backend.ClearBoxes();
  AnswerAlerts({Step::Stop, Step::Stop});
  Scan(false);
  EXPECT_EQ(Alerts(), 0);
  const std::string why =
      " is on the list of forbidden processes, but it is part of Windows and must keep running, so it was not "
      "stopped. Take it off the list of forbidden processes.";
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(csrss + why, guard + why));
  Scan(true);
  EXPECT_EQ(LastBalloon(), "Memory scanning done.");
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  EXPECT_TRUE(sys.processes.Running(50) && sys.processes.Running(51));
}

// --- Stopping

TEST_F(ProcessExactness, AnIdThatAnotherProgramGotBeforeTheStopIsNeverHit) {
  StartConfigured();
  sys.processes.Add(60, kAgent);
  sys.processes.ReuseIdOnStop(60, "C:\\Other\\innocent.exe");
  PressOnMemoryPage(Button("Button14"), kAgent);
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  EXPECT_TRUE(sys.processes.Running(60));
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_THAT(List("list_pamiec").Items(), ElementsAre("C:\\Other\\innocent.exe"));
}

TEST_F(ProcessExactness, WaitingForAStoppedProcessKeepsTheWindowServed) {
  StartConfigured();
  sys.processes.Add(61, kAgent);
  sys.processes.SetSlowToEnd(61, 3);
  // An event that comes while the stop waits: stopped, not yet gone.
  bool served_while_waiting = false;
  w().RefreshProcessList();
  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("pamiec"));
  ASSERT_TRUE(backend.Select(List("list_pamiec"), 0));
  ASSERT_TRUE(backend.Click(Button("Button14")));
  // Queued behind the click: it runs at once only if the stop lets messages run.
  backend.Post([&] {
    served_while_waiting = !sys.processes.Terminated().empty() && sys.processes.Running(61);
  });
  backend.RunUntilIdle();
  EXPECT_TRUE(served_while_waiting);
  EXPECT_EQ(sys.processes.EndWaits(), 4);
  EXPECT_FALSE(sys.processes.Running(61));
  EXPECT_THAT(List("list_pamiec").Items(), IsEmpty());
}

TEST_F(ProcessExactness, StopAndDeleteOfAProgramThatWillNotEndMovesNothing) {
  StartConfigured();
  sys.processes.Add(62, kAgent);
  sys.processes.SetTerminateFails(62);
  sys.processes.Add(63, "C:\\Apps\\stuck.exe");
  sys.processes.SetSlowToEnd(63, 2, false);
  MakeFile(kAgent);
  MakeFile("C:\\Apps\\stuck.exe");
  SetSlot(kBlack, 0, kAgent);
  SetSlot(kBlack, 1, "C:\\Apps\\stuck.exe");
  AnswerAlerts({Step::Tick, Step::Stop, Step::Tick, Step::Stop});
  Scan(false);
  EXPECT_EQ(Alerts(), 2);
  // One box for one failure: the one that says what became of the file.
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(process::kNotTrashedRunning, process::kNotTrashedRunning));
  EXPECT_TRUE(FileThere(kAgent));
  EXPECT_TRUE(FileThere("C:\\Apps\\stuck.exe"));
  EXPECT_FALSE(FileThere(std::string(kTrash) + "agent.exe"));
  EXPECT_FALSE(FileThere(std::string(kTrash) + "stuck.exe"));
  EXPECT_EQ(Slot(kCan, 0), "err");

  // The memory page's "Trash" the same.
  backend.ClearBoxes();
  backend.AnswerBoxes({tk::ModalResult::Yes});
  PressOnMemoryPage(Button("Button15"), kAgent);
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Are you sure that you want to move this program to trashcan?",
                                              process::kNotTrashedRunning));
  EXPECT_TRUE(FileThere(kAgent));
  EXPECT_EQ(Slot(kCan, 0), "err");
}

// --- The trashcan

TEST_F(ProcessExactness, EveryTrashcanEntryOwnsItsFile) {
  StartConfigured();
  for (const char* f : {"C:\\A\\agent.exe", "C:\\B\\agent.exe", "C:\\C\\tool.exe", "C:\\Old\\keep.txt"})
    MakeFile(f);
  // A stray file of the name, and an entry written before names were recorded.
  MakeFile(std::string(kTrash) + "agent (2).exe");
  MakeFile(std::string(kTrash) + "tool.exe");
  SetSlot(kCan, 5, "C:\\Old\\tool.exe");

  velmain->protection().MoveToTrashcan("C:\\A\\agent.exe");
  velmain->protection().MoveToTrashcan("C:\\B\\agent.exe");
  velmain->protection().MoveToTrashcan("C:\\C\\tool.exe");
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_EQ(TrashKey(0, "plik"), "agent.exe");
  EXPECT_EQ(TrashKey(1, "plik"), "agent (3).exe");
  EXPECT_EQ(TrashKey(2, "plik"), "tool (2).exe");
  // The list shows the previous paths, as always.
  w().RefreshLists();
  EXPECT_THAT(List("list_smietnik").Items(),
              ElementsAre("C:\\A\\agent.exe", "C:\\B\\agent.exe", "C:\\C\\tool.exe", "C:\\Old\\tool.exe"));

  // Recover and Empty each act on their own entry's file only.
  backend.AnswerBoxes({tk::ModalResult::Ok});
  Press(Find<tk::Page>("smietnik"), List("list_smietnik"), Button("Button10"), "C:\\B\\agent.exe");
  EXPECT_EQ(backend.BoxTexts()[1], std::string(kTrash) + "agent (3).exe C:\\B\\agent.exe");
  EXPECT_TRUE(FileThere("C:\\B\\agent.exe"));
  backend.AnswerBoxes({tk::ModalResult::Ok});
  Press(Find<tk::Page>("smietnik"), List("list_smietnik"), Button("Button10"), "C:\\Old\\tool.exe");
  EXPECT_TRUE(FileThere("C:\\Old\\tool.exe"));
  backend.AnswerBoxes({tk::ModalResult::Ok});
  Press(Find<tk::Page>("smietnik"), List("list_smietnik"), Button("Button21"), "C:\\A\\agent.exe");
  EXPECT_FALSE(FileThere(std::string(kTrash) + "agent.exe"));
  EXPECT_TRUE(FileThere(std::string(kTrash) + "agent (2).exe"));
  EXPECT_TRUE(FileThere(std::string(kTrash) + "tool (2).exe"));
  EXPECT_FALSE(FileThere(std::string(kTrash) + "tool.exe"));
  EXPECT_FALSE(FileThere(std::string(kTrash) + "agent (3).exe"));
  EXPECT_EQ(Slot(kCan, 2), "C:\\C\\tool.exe");
  for (int slot : {0, 1, 5}) EXPECT_EQ(Slot(kCan, slot), "err") << slot;
}

TEST_F(ProcessExactness, TrashcanNamesKeepTheirExtension) {
  EXPECT_EQ(process::NumberedName("agent.exe", 2), "agent (2).exe");
  EXPECT_EQ(process::NumberedName("a.b.exe", 3), "a.b (3).exe");
  EXPECT_EQ(process::NumberedName("README", 2), "README (2)");
  EXPECT_EQ(process::NumberedName(".profile", 2), ".profile (2)");
}

}  // namespace
}  // namespace scenario
