// What Veltrane finds and does goes to the Windows event log as well: each
// event with its level and its insertion strings, and a log that refuses
// them changes nothing in what the program does.
#include <gmock/gmock.h>

#include "tests/support/child.h"
#include "registry/events.h"
#include "tests/scenario/process_fixture.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using LogEntry = platform::portable::PortableEventLog::Event;
using R = RegistryProgram::Reply;

LogEntry Logged(events::Event event, std::vector<std::string> strings = {}) {
  return {event.level, event.id, std::move(strings)};
}

constexpr const char* kLocalRun = "Local machine, autostart.";
constexpr const char* kRunText = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kNoLog = "The Windows event log is not available; Veltrane's findings are not logged.";

class RegistryEvents : public RegistryProgram {
 protected:
  RegistryEvents() { SeedAutostartKeys(); }
  std::string Status() { return Find("status").Caption(); }
};

TEST_F(RegistryEvents, EachAnswerIsLoggedOnlyForWhatReallyHappened) {
  const std::string kNoFile(registry::kNoFile);
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Intruder\"=\"\\\"C:\\\\Bad\\\\bad.exe\\\" -silent\"\n"
      "\"Keeper\"=\"C:\\\\Apps\\\\keeper.exe\"\n"
      "\"Shifty\"=\"C:\\\\Apps\\\\shifty.exe\"\n");
  // Shifty changes while it is asked about, so it stays.
  on_alert = [this](registry::Trejestralert& alert) {
    if (Child<tk::Label>(alert, "nazwa_klucza").Caption() == "Shifty")
      sys.registry.Set(platform::RootKey::LocalMachine, kRun, "Shifty",
                       platform::RegValue{uint32_t(platform::ValueType::Sz), "C:\\Apps\\other.exe"});
  };
  StartScanning({R::DeleteTicked, R::Allow, R::Delete});
  ASSERT_EQ(Alerts(), 3);
  const std::string intruder = "\"C:\\Bad\\bad.exe\" -silent";
  EXPECT_THAT(sys.event_log.events,
              ElementsAre(Logged(events::kProtectionStarted),
                          Logged(events::kAutostartFound, {kLocalRun, "Intruder", intruder, kNoFile, kNoFile}),
                          Logged(events::kAutostartDeletedAndForbidden, {kLocalRun, "Intruder", intruder}),
                          Logged(events::kAutostartFound, {kLocalRun, "Keeper", "C:\\Apps\\keeper.exe", kNoFile, kNoFile}),
                          Logged(events::kAutostartAllowed, {kLocalRun, "Keeper", "C:\\Apps\\keeper.exe"}),
                          Logged(events::kAutostartFound, {kLocalRun, "Shifty", "C:\\Apps\\shifty.exe", kNoFile, kNoFile}),
                          Logged(events::kRefusedToAct, {std::string("Shifty in ") + kRunText})));

  // "Recover" puts Intruder back; the end of the program is the last event.
  sys.event_log.events.clear();
  velmain->RefreshLists();
  ASSERT_TRUE(backend.Click(Button("Button25")));
  backend.RunUntilIdle();
  ASSERT_TRUE(backend.Select(List("list_rejestr"), 0)) << List("list_rejestr").Count();
  backend.AnswerBoxes({tk::ModalResult::Ok, tk::ModalResult::Ok});
  ASSERT_TRUE(backend.Click(Button("Button9")));
  backend.RunUntilIdle();
  ASSERT_TRUE(HasValue("Intruder"));
  app.SetMainForm(nullptr);
  velmain.reset();
  EXPECT_THAT(sys.event_log.events, ElementsAre(Logged(events::kAutostartPutBack, {kRunText, "Intruder", intruder}),
                                                Logged(events::kProtectionEnded)));
}

TEST_F(RegistryEvents, ARefusingLogIsToldOnceAndTheScanGoesOn) {
  StartScanning({});
  sys.event_log.fails = true;
  std::vector<std::string> status_while_asked;
  on_alert = [&](registry::Trejestralert&) { status_while_asked.push_back(Status()); };
  AnswerAlerts({R::Delete, R::Delete});
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"One\"=\"C:\\\\one.exe\"\n");
  ExitScan();
  backend.RunUntilIdle();
  // Another text takes the status line; the next refusal leaves it alone.
  velmain->ShowProtectionLevel();
  const std::string level = Status();
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Two\"=\"C:\\\\two.exe\"\n");
  ExitScan();
  backend.RunUntilIdle();

  EXPECT_THAT(status_while_asked, ElementsAre(kNoLog, level));
  EXPECT_FALSE(HasValue("One"));
  EXPECT_FALSE(HasValue("Two"));
  // Nothing was taken while the log refused.
  EXPECT_THAT(sys.event_log.events, ElementsAre(Logged(events::kProtectionStarted)));
}

constexpr const char* kAgent = "C:\\Apps\\agent.exe";
using Step = ProcessProgram::Step;

class ProcessEvents : public ProcessProgram {};

TEST_F(ProcessEvents, AStopOncePerProgramAnAllowanceAndTheTrashcanAreLogged) {
  app::Tvelmain& w = StartConfigured();
  sys.processes.Add(10, kAgent);
  sys.processes.Add(11, "C:\\Apps\\tool.exe");
  MakeFile(kAgent);
  SetSlot(testing_support::kBlackListPath, 0, kAgent);
  SetSlot(testing_support::kBlackListPath, 1, "C:\\Apps\\tool.exe");
  AnswerAlerts({Step::Stop, Step::Allow});
  sys.event_log.events.clear();
  w.RefreshProcessList();
  ScanMemory();
  backend.RunUntilIdle();
  // Moved in and deleted for good.
  velmain->protection().MoveToTrashcan(kAgent);
  w.RefreshLists();
  backend.AnswerBoxes({tk::ModalResult::Ok});
  Press(Find<tk::Page>("smietnik"), List("list_smietnik"), Button("Button21"), kAgent);
  EXPECT_THAT(sys.event_log.events,
              ElementsAre(Logged(events::kForbiddenStopped, {kAgent}),
                          Logged(events::kForbiddenAllowed, {"C:\\Apps\\tool.exe"}),
                          Logged(events::kMovedToTrashcan, {kAgent}), Logged(events::kDeletedFromTrashcan, {kAgent})));
}

}  // namespace
}  // namespace scenario
