// The memory scan against the black list, silent and through the alert.
#include <gmock/gmock.h>

#include "process/memory_scan.h"
#include "tests/scenario/process_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Step = ProcessProgram::Step;

constexpr const char* kAgent = "C:\\Apps\\agent.exe";
constexpr const char* kBlack = testing_support::kBlackListPath;

class ProcessScan : public ProcessProgram {
 protected:
  app::Tvelmain& Scan() {
    app::Tvelmain& w = *velmain;
    w.RefreshProcessList();
    ScanMemory();
    return w;
  }
};

TEST_F(ProcessScan, SilentModeStopsEveryInstanceOnceAndTheSecondEntryFindsNothing) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  sys.processes.Add(11, "C:\\Windows\\notepad.exe");
  sys.processes.Add(12, kAgent);
  SetSlot(kBlack, 0, kAgent);
  Tick("skanuj_usun_cicho", true);
  Scan();
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10, 12));
  EXPECT_TRUE(sys.processes.Running(11));
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_EQ(Alerts(), 0);
  EXPECT_EQ(Slot(kBlack, 0), kAgent);  // silent mode leaves the list alone
  EXPECT_EQ(LastBalloon(), "Memory scanning done.");
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("skan"));
}

TEST_F(ProcessScan, OnlyAsciiLettersFoldAndLookAlikesElsewhereAreUntouched) {
  StartConfigured();
  const std::pair<uint32_t, const char*> procs[] = {
      {20, "C:\\Windows\\system32\\svchost.exe"}, {21, "C:\\Temp\\svchost.exe"},
      {22, "C:\\Apps\\\xC3\xA4gent.exe"},        {23, "C:\\Apps\\Tool.exe"},
      {24, "C:\\Tools\\runner.exe"},              {25, "C:\\Tools\\quoted.exe"}};
  for (auto [pid, path] : procs) sys.processes.Add(pid, path);
  const char* entries[] = {"c:\\temp\\SVCHOST.EXE", "C:\\Apps\\\xC3\x84gent.exe", "C:\\APPS\\tool.EXE",
                           "C:\\Tools\\runner.exe -quiet /x", "\"C:\\Tools\\quoted.exe\" /background",
                           "\"C:\\Tools\\runner.exe /x\" -y"};
  for (int n = 0; n < 6; ++n) SetSlot(kBlack, n, entries[n]);
  Tick("skanuj_usun_cicho", true);
  Scan();
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(21, 23, 24, 25));
  EXPECT_EQ(Slot(kBlack, 4), entries[4]);  // the command line is kept as it was
}

TEST_F(ProcessScan, AllowTakesTheEntryOffSoLaterInstancesRunOn) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  sys.processes.Add(12, kAgent);
  SetSlot(kBlack, 3, kAgent);
  SetSlot(kBlack, 7, "C:\\Other\\thing.exe");
  AnswerAlerts({Step::Tick, Step::Allow});
  MakeFile(kAgent);
  Scan();
  EXPECT_EQ(Alerts(), 1);
  EXPECT_THAT(backend.BoxTexts(),
              ElementsAre("This item will be removed from the disallowed processes list. Are you sure?"));
  EXPECT_EQ(Slot(kBlack, 3), "err");
  EXPECT_EQ(Slot(kBlack, 7), "C:\\Other\\thing.exe");
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());
  EXPECT_TRUE(FileThere(kAgent));  // a tick without "Stop!" deletes nothing
}

TEST_F(ProcessScan, APathListedTwiceIsAskedAboutTwice) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  SetSlot(kBlack, 0, kAgent);
  SetSlot(kBlack, 5, "c:\\apps\\AGENT.exe");
  AnswerAlerts({Step::Stop, Step::Allow});
  Scan();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].name, "agent.exe");
  EXPECT_EQ(shown[1].path, kAgent);
  EXPECT_EQ(shown[1].size, "The file does not exist.");
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10));
  EXPECT_EQ(Slot(kBlack, 0), kAgent);
  EXPECT_EQ(Slot(kBlack, 5), "err");
}

TEST_F(ProcessScan, AnEntryChangedWhileAnAlertIsOpenIsNotAskedAbout) {
  StartConfigured();
  sys.processes.Add(10, kAgent);
  SetSlot(kBlack, 0, kAgent);
  SetSlot(kBlack, 5, kAgent);
  while_asked = [this] { SetSlot(kBlack, 5, "C:\\Other\\thing.exe"); };
  AnswerAlerts({Step::Allow, Step::Allow});
  Scan();
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(Slot(kBlack, 5), "C:\\Other\\thing.exe");
}

TEST_F(ProcessScan, UnansweredAlertAndUnstoppableProcessAreReported) {
  app::Tvelmain& w = StartConfigured();
  sys.processes.Add(10, kAgent);
  sys.processes.Add(11, "C:\\Apps\\locked.exe");
  sys.processes.SetTerminateFails(11);
  SetSlot(kBlack, 0, kAgent);
  SetSlot(kBlack, 1, "C:\\Apps\\locked.exe");
  Scan();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Could not comunicate with the child window.",
                                              "Could not comunicate with the child window."));
  EXPECT_EQ(Slot(kBlack, 0), kAgent);
  EXPECT_TRUE(sys.processes.Running(10));

  // Silently: the balloon names the process before the stop fails.
  backend.ClearBoxes();
  std::string balloon;
  backend.box_answerer = [&](const tk::headless::BoxRecord&) { balloon = LastBalloon(); return tk::ModalResult::Ok; };
  Tick("skanuj_usun_cicho", true);
  Scan();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(process::kCouldNotStop));
  EXPECT_EQ(balloon, "Removing forbidden process: C:\\Apps\\locked.exe");
  EXPECT_EQ(LastBalloon(), "Memory scanning done.");
  w.RefreshProcessList();
  sys.processes.Add(12, kAgent);
  process::StopProcess(velmain->protection(), kAgent);
  EXPECT_EQ(LastBalloon(), "Stopped disallowed process: agent.exe");
}

TEST_F(ProcessScan, AnEmptyProcessListStillEndsTheScan) {
  StartConfigured();
  SetSlot(kBlack, 0, kAgent);
  Scan();
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
  EXPECT_EQ(LastBalloon(), "Memory scanning done.");
}

}  // namespace
}  // namespace scenario
