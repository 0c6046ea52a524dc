// The administrator's lists under HKLM\Software\Policies\Quorvik\Veltrane:
// matched beside the person's own, shown on the lists page, never removed
// or allowed away there, never written into the person's files.
#include <gmock/gmock.h>

#include "registry/lists_page.h"
#include "registry/policy.h"
#include "tests/scenario/process_fixture.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using R = RegistryProgram::Reply;
using Step = ProcessProgram::Step;

constexpr const char* kPolicies = "[HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvik\\Veltrane\\Allowed]\n"
                                  "\"1\"=\"C:\\\\Apps\\\\agent.exe /min\"\n"
                                  "\"2\"=dword:00000001\n"
                                  "\"3\"=\"\"\n"
                                  "[HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvik\\Veltrane\\Forbidden]\n"
                                  "\"1\"=\"C:\\\\Bad\\\\bad.exe\"\n";
constexpr const char* kAllowedKey = "Software\\Policies\\Quorvik\\Veltrane\\Allowed";

class PolicyRegistry : public RegistryProgram {};

TEST_F(PolicyRegistry, AnAllowedCommandIsNotAskedAboutWhileThePolicyHoldsIt) {
  SeedAutostartKeys();
  Reg(kPolicies);
  // An empty value allows nothing: not even an empty command.
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Agent\"=\"C:\\\\Apps\\\\agent.exe /min\"\n"
      "\"Other\"=\"C:\\\\Apps\\\\other.exe\"\n"
      "\"Empty\"=\"\"\n");
  StartScanning({R::Allow, R::Allow});
  ASSERT_EQ(Alerts(), 2);
  EXPECT_THAT((std::vector<std::string>{shown[0].name, shown[1].name}), UnorderedElementsAre("Empty", "Other"));
  EXPECT_EQ(WhiteSlot(2), "err");  // only what the person allowed is written

  // Read again at the next scan: taken off the policy, it is asked about.
  ASSERT_TRUE(sys.registry.DeleteKey(platform::RootKey::LocalMachine, kAllowedKey));
  AnswerAlerts({R::Allow});
  FullRegistryScan();
  backend.RunUntilIdle();
  ASSERT_EQ(Alerts(), 3);
  EXPECT_EQ(shown[2].name, "Agent");
}

TEST_F(PolicyRegistry, TheListsPageShowsThePolicyAfterTheOwnEntriesAndRefusesToRemoveIt) {
  SeedAutostartKeys();
  Reg(kPolicies);
  // An entry of the person's own may read like one of the policy.
  SetWhiteSlot(0, "C:\\Own\\own.exe (policy)");
  WriteList(testing_support::kBlackListPath, "[0]\r\nsciezka=C:\\Own\\bad.exe\r\n");
  Configure("");
  StartAnswering();
  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("listy"));
  velmain->RefreshLists();
  tk::ListBox& white = List("list_pozwolonych");
  tk::ListBox& black = List("list_zabronionych");
  ASSERT_THAT(white.Items(), ElementsAre("C:\\Own\\own.exe (policy)", "C:\\Apps\\agent.exe /min (policy)"));
  ASSERT_THAT(black.Items(), ElementsAre("C:\\Own\\bad.exe", "C:\\Bad\\bad.exe (policy)"));

  const std::string white_file = ReadFile(testing_support::kWhiteListPath);
  const std::string black_file = ReadFile(testing_support::kBlackListPath);
  for (auto [list, button] : {std::pair{&white, "Button18"}, std::pair{&black, "Button19"}}) {
    backend.ClearBoxes();
    ASSERT_TRUE(backend.Select(*list, 1));
    ASSERT_TRUE(backend.Click(Button(button)));
    backend.RunUntilIdle();
    ASSERT_EQ(backend.Boxes().size(), 1u) << button;
    EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
    EXPECT_EQ(backend.Boxes()[0].text, registry::policy::kCannotRemove);
  }
  EXPECT_EQ(ReadFile(testing_support::kWhiteListPath), white_file);
  EXPECT_EQ(ReadFile(testing_support::kBlackListPath), black_file);

  // The person's own entry is theirs to remove, whatever it reads like.
  backend.ClearBoxes();
  ASSERT_TRUE(backend.Select(white, 0));
  backend.AnswerBoxes({tk::ModalResult::Ok});
  ASSERT_TRUE(backend.Click(Button("Button18")));
  backend.RunUntilIdle();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(registry::kConfirmRemoval, registry::kItemRemoved));
  EXPECT_THAT(white.Items(), ElementsAre("C:\\Apps\\agent.exe /min (policy)"));
}

class PolicyProcess : public ProcessProgram {
 protected:
  void Scan() {
    velmain->RefreshProcessList();
    ScanMemory();
  }
};

TEST_F(PolicyProcess, AForbiddenProgramIsStoppedAndCannotBeAllowed) {
  sys.registry.LoadRegText(std::string("REGEDIT4\n") + kPolicies);
  StartConfigured();
  sys.processes.Add(10, "C:\\Bad\\bad.exe");
  sys.processes.Add(11, "C:\\Apps\\agent.exe");
  // "Allow working" is refused and the alert waits for its answer.
  AnswerAlerts({Step::Allow, Step::Stop});
  Scan();
  EXPECT_EQ(Alerts(), 1);
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
  EXPECT_EQ(backend.Boxes()[0].text, registry::policy::kCannotAllow);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10));
  EXPECT_FALSE(FileThere(testing_support::kBlackListPath));

  // Silently, as an entry of the person's own.
  sys.processes.Add(12, "C:\\Bad\\bad.exe");
  backend.ClearBoxes();
  Tick("skanuj_usun_cicho", true);
  Scan();
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10, 12));
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
}

// The administrator changes the lists while the program runs: nobody is
// asked, the lists page follows, and a newly forbidden program is stopped at
// once when "Scan memory (system)" is ticked.
TEST_F(PolicyProcess, APolicyChangeIsWatchedWithoutTheChangeQuestion) {
  StartConfigured();
  sys.processes.Add(10, "C:\\Bad\\bad.exe");
  sys.processes.Add(11, "C:\\Bad\\worse.exe");
  velmain->RefreshProcessList();
  AnswerAlerts({Step::Stop, Step::Stop});
  auto forbid = [this](const std::string& name, const std::string& path) {
    sys.registry.Set(platform::RootKey::LocalMachine, "Software\\Policies\\Quorvik\\Veltrane\\Forbidden", name,
                     platform::RegValue{1, path});
    ASSERT_TRUE(backend.WaitForSynchronize(5000)) << "the change was not reported";
    backend.RunUntilIdle();
  };
  Tick("skanuj_pamiec", false);
  forbid("1", "C:\\Bad\\bad.exe");
  EXPECT_THAT(List("list_zabronionych").Items(), ElementsAre("C:\\Bad\\bad.exe (policy)"));
  EXPECT_EQ(Alerts(), 0);

  Tick("skanuj_pamiec", true);
  forbid("2", "C:\\Bad\\worse.exe");
  EXPECT_THAT(List("list_zabronionych").Items(),
              ElementsAre("C:\\Bad\\bad.exe (policy)", "C:\\Bad\\worse.exe (policy)"));
  EXPECT_EQ(Alerts(), 2);
  EXPECT_THAT(sys.processes.Terminated(), ElementsAre(10, 11));
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
}

// A policy Veltrane may not read is a finding, told once, never the end of
// the program, whatever its rights; and a program that Windows needs gets
// advice the person can act on.
TEST_F(PolicyProcess, ARefusedPolicyIsToldOnceAndACriticalProgramIsLeftToTheAdministrator) {
  sys.system.SetAdminRights(false);
  sys.registry.LoadRegText(
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvik\\Veltrane\\Forbidden]\n"
      "\"1\"=\"C:\\\\Windows\\\\System32\\\\csrss.exe\"\n");
  StartConfigured();
  sys.processes.Add(10, "C:\\Windows\\System32\\csrss.exe");
  Scan();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(registry::policy::kWindowsNeedsPolicy));
  EXPECT_THAT(sys.processes.Terminated(), IsEmpty());

  backend.ClearBoxes();
  sys.registry.DenyAccess(platform::RootKey::LocalMachine, "Software\\Policies\\Quorvik\\Veltrane\\Forbidden");
  Scan();
  Scan();
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Policies\\Quorvik\\Veltrane\\Forbidden";
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(registry::RefusalText(key, registry::Refusal::Read)));
  EXPECT_FALSE(app.Terminated());
  EXPECT_THAT(sys.event_log.events, testing::Contains(platform::portable::PortableEventLog::Event{
                                          platform::EventLevel::Error, 6000, {key, "read"}}));
}

}  // namespace
}  // namespace scenario
