// The registry scan as a user meets it: one alert per unknown autostart
// entry, and the answer acted on in the registry and the lists.
#include <algorithm>
#include <functional>

#include "registry/scan.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using platform::RootKey;
using R = RegistryProgram::Reply;

platform::RegValue Text(const std::string& data, platform::ValueType type = platform::ValueType::Sz) {
  return platform::RegValue{uint32_t(type), data};
}

class RegistryScan : public RegistryProgram {
 protected:
  // One value in the machine-wide Run key and nothing else there.
  void OnlyValue(const std::string& name, const std::string& data) {
    sys.registry.DeleteKey(RootKey::LocalMachine, kRun);
    sys.registry.Set(RootKey::LocalMachine, kRun, name, Text(data));
  }
  // Runs one scan of the machine-wide Run key; the number of alerts it showed.
  int ScanRun() {
    const int before = Alerts();
    ExitScan();
    backend.RunUntilIdle();
    return Alerts() - before;
  }
};

TEST_F(RegistryScan, EachUnknownEntryIsShownWithItsDetails) {
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Known\"=\"C:\\\\Apps\\\\known.exe\"\n"
      "\"Tool\"=\"\\\"C:\\\\Program Files\\\\Tool\\\\tool.exe\\\" /min\"\n"
      "\"Bare\"=\"notepad.exe\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
      "\"Once\"=\"C:once.exe\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Mine\"=\"D:\\\\x\\\\mine.exe\"\n");
  SetWhiteSlot(0, "C:\\Apps\\known.exe");
  StartScanning({R::Allow, R::Allow, R::Allow, R::Allow});

  ASSERT_EQ(Alerts(), 4);
  const Shown tool{"Local machine, autostart.", "Tool", "\"C:\\Program Files\\Tool\\tool.exe\" /min",
                   "\"C:\\Program Files\\Tool\\", "tool.exe\" /min", "The file does not exist.", 1};
  EXPECT_EQ(shown[0].section, tool.section);
  EXPECT_EQ(shown[0].name, tool.name);
  EXPECT_EQ(shown[0].value, tool.value);
  EXPECT_EQ(shown[0].path, tool.path);
  EXPECT_EQ(shown[0].exe, tool.exe);
  EXPECT_EQ(shown[0].size, tool.size);
  EXPECT_EQ(shown[1].path, "");
  EXPECT_EQ(shown[1].exe, "notepad.exe");
  EXPECT_EQ(shown[2].section, "Local machine, run once.");
  EXPECT_EQ(shown[2].path, "C:");
  EXPECT_EQ(shown[2].exe, "once.exe");
  // The current user's keys have always been shown as the local machine's.
  EXPECT_EQ(shown[3].section, "Local machine, autostart.");
  EXPECT_EQ(shown[3].name, "Mine");

  // Allowed entries go to the lowest free slots, every key written.
  EXPECT_EQ(WhiteSlot(1, "numer"), "1");
  EXPECT_EQ(WhiteSlot(1, "nazwa"), "Tool");
  EXPECT_EQ(WhiteSlot(1, "sekcja"), "HKLM_run");
  EXPECT_EQ(WhiteSlot(1, "wartosc"), "\"C:\\Program Files\\Tool\\tool.exe\" /min");
  EXPECT_EQ(WhiteSlot(2), "notepad.exe");
  EXPECT_EQ(WhiteSlot(3), "C:once.exe");
  EXPECT_EQ(WhiteSlot(4, "nazwa"), "Mine");
  EXPECT_EQ(WhiteSlot(4, "sekcja"), "HKLM_run");
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("glowna"));

  // Everything is known now: a second start asks nothing.
  shown.clear();
  Restart();
  EXPECT_EQ(Alerts(), 0);
}

// The alert and the log tell what the entry brings along: for a host of
// Windows its payload, with the size, company and signature of that file.
TEST_F(RegistryScan, TheAlertAndTheLogTellTheFactsOfTheProgram) {
  const std::string payload = "C:\\Apps\\agent.dll";
  sys.files.MakeFolder("C:\\Apps");
  WriteFile(payload, std::string(1500, 'x'));
  sys.program_files.SetCompany(payload, "Agent Co");
  sys.program_files.SetSignature(payload, platform::SignatureKind::UntrustedSigner, "Agent Co Ltd");
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Agent\"=\"rundll32.exe C:\\\\Apps\\\\agent.dll,Start\"\n");
  StartScanning({R::Allow});
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].size, "1,500 bytes");
  const auto found = std::find_if(sys.event_log.events.begin(), sys.event_log.events.end(),
                                  [](const auto& e) { return e.id == events::kAutostartFound.id; });
  ASSERT_NE(found, sys.event_log.events.end());
  EXPECT_EQ(found->strings, (std::vector<std::string>{"Local machine, autostart.", "Agent",
                                                      "rundll32.exe C:\\Apps\\agent.dll,Start", "Agent Co",
                                                      "Signed by Agent Co Ltd, but Windows does not trust the signer"}));
}

// Facts that take longer than the log waits for are logged as still being
// checked, and the alert goes on without them.
TEST_F(RegistryScan, FactsNotFoundInTimeAreLoggedAsStillBeingChecked) {
  sys.program_files.HoldFacts(true);
  wait_for_facts = false;
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Slow\"=\"C:\\\\slow.exe\"\n");
  // Left unanswered: the alert waits, on the virtual clock, past the log's time.
  StartScanning({});
  sys.program_files.HoldFacts(false);
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].size, "Checking...");
  const auto found = std::find_if(sys.event_log.events.begin(), sys.event_log.events.end(),
                                  [](const auto& e) { return e.id == events::kAutostartFound.id; });
  ASSERT_NE(found, sys.event_log.events.end());
  EXPECT_EQ(found->strings, (std::vector<std::string>{"Local machine, autostart.", "Slow", "C:\\slow.exe",
                                                      "Checking...", "Checking..."}));
}

TEST_F(RegistryScan, MatchingComparesTheWholeDataExactly) {
  struct Case {
    const char* what;
    std::optional<std::string> allowed;  // white-list slot 0
    std::string data;
    bool asked;
  } cases[] = {
      {"same text", "C:\\App\\app.exe", "C:\\App\\app.exe", false},
      {"other letter case", "C:\\App\\app.exe", "c:\\app\\APP.EXE", true},
      {"quoted here only", "C:\\App\\app.exe", "\"C:\\App\\app.exe\"", true},
      {"wholly quoted on both sides", "\"C:\\App\\app.exe\"", "\"C:\\App\\app.exe\"", false},
      {"quoted path with arguments", "\"C:\\A B\\a.exe\" /x", "\"C:\\A B\\a.exe\" /x", false},
      {"wholly in single quotes on both sides", "'C:\\App\\app.exe'", "'C:\\App\\app.exe'", false},
      {"a trailing blank", "C:\\App\\app.exe", "C:\\App\\app.exe ", true},
      {"blanks around on both sides", "  C:\\App\\app.exe  ", "  C:\\App\\app.exe  ", false},
      {"the free marker's text, list empty", std::nullopt, "error", true},
      {"the free marker's text, allowed", "error", "error", false},
      {"empty data, list empty", std::nullopt, "", true},
      {"empty data, allowed", "", "", false},
  };
  Configure("");
  StartAnswering();
  for (const Case& c : cases) {
    WriteList(testing_support::kWhiteListPath, "");
    if (c.allowed) SetWhiteSlot(0, *c.allowed);
    OnlyValue("Entry", c.data);
    EXPECT_EQ(ScanRun(), c.asked ? 1 : 0) << c.what;
  }
}

TEST_F(RegistryScan, TheWhiteListIsWalkedFromSlot0To500) {
  Configure("");
  StartAnswering();
  OnlyValue("Late", "C:\\late.exe");

  // Matched in a slot above 250.
  FillWhiteList(0, 500);
  SetWhiteSlot(400, "C:\\late.exe");
  EXPECT_EQ(ScanRun(), 0);

  // Added in the last slot, and known from then on.
  FillWhiteList(0, 499);
  AnswerAlerts({R::Allow});
  EXPECT_EQ(ScanRun(), 1);
  EXPECT_EQ(WhiteSlot(500), "C:\\late.exe");
  EXPECT_EQ(ScanRun(), 0);

  // A gap left by a removal is filled first.
  FillWhiteList(0, 10);
  {
    registry::IniStore list(sys.files, testing_support::kWhiteListPath);
    registry::EraseSlot(list, 3);
  }
  ListChanged();
  AnswerAlerts({R::Allow});
  EXPECT_EQ(ScanRun(), 1);
  EXPECT_EQ(WhiteSlot(3), "C:\\late.exe");
  EXPECT_EQ(WhiteSlot(11), "err");
}

TEST_F(RegistryScan, AFullWhiteListIsSaidAndNothingChanges) {
  Configure("");
  StartAnswering();
  OnlyValue("Late", "C:\\late.exe");
  FillWhiteList(0, 500);
  const std::string before = ReadFile(testing_support::kWhiteListPath);
  backend.ClearBoxes();
  AnswerAlerts({R::Allow});
  EXPECT_EQ(ScanRun(), 1);
  EXPECT_EQ(Boxes(), std::vector<std::string>{std::string(registry::kWhiteListFull)});
  EXPECT_EQ(ReadFile(testing_support::kWhiteListPath), before);
  EXPECT_TRUE(HasValue("Late"));
}

TEST_F(RegistryScan, DeleteRemovesTheValueAndBlackListsItOnlyWhenTicked) {
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Blocked\"=\"\\\"C:\\\\Bad\\\\bad.exe\\\" -quiet\"\n"
      "\"Deleted\"=\"C:\\\\Old\\\\old.exe\"\n"
      "\"Cancelled\"=\"C:\\\\Keep\\\\keep.exe\"\n"
      "\"TickedAllow\"=\"C:\\\\Also\\\\also.exe\"\n");
  // Cancel takes the person back to the alert, where they allow it.
  StartScanning({R::DeleteTicked, R::Delete, R::DeleteCancel, R::Allow, R::AllowTicked});

  ASSERT_EQ(Alerts(), 4);
  EXPECT_FALSE(HasValue("Blocked"));
  EXPECT_FALSE(HasValue("Deleted"));
  EXPECT_TRUE(HasValue("Cancelled"));
  EXPECT_TRUE(HasValue("TickedAllow"));
  // The whole data of the deleted value, quotes and switch included.
  EXPECT_EQ(Slot(testing_support::kBlackListPath, 0, "sciezka"), "\"C:\\Bad\\bad.exe\" -quiet");
  EXPECT_EQ(Slot(testing_support::kBlackListPath, 1, "sciezka"), "err");
  // The tick counts only for a deletion.
  EXPECT_EQ(WhiteSlot(0), "C:\\Keep\\keep.exe");
  EXPECT_EQ(WhiteSlot(1), "C:\\Also\\also.exe");
  EXPECT_EQ(WhiteSlot(2), "err");

  const std::string confirm = "Are you sure that you want to remove this registry entry?";
  const auto boxes = Boxes();
  EXPECT_EQ(std::count(boxes.begin(), boxes.end(), confirm), 3);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
  EXPECT_EQ(backend.Boxes()[0].buttons, tk::MsgButtons::OkCancel);
}

TEST_F(RegistryScan, AnAlertClosedWithoutAnAnswerChangesNothing) {
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Closed\"=\"C:\\\\a.exe\"\n"
      "\"Ignored\"=\"C:\\\\b.exe\"\n");
  // The first is closed by its close box; nothing answers the second at all.
  StartScanning({R::CloseBox});

  EXPECT_EQ(Alerts(), 2);
  const std::vector<std::string> lost(2, std::string(registry::kLostAnswer));
  EXPECT_EQ(Boxes(), lost);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
  EXPECT_TRUE(HasValue("Closed"));
  EXPECT_TRUE(HasValue("Ignored"));
  EXPECT_EQ(ReadFile(testing_support::kWhiteListPath), "");
  EXPECT_EQ(ReadFile(testing_support::kBlackListPath), "");
  // Asked again next time.
  shown.clear();
  AnswerAlerts({R::Allow, R::Allow});
  FullRegistryScan();
  EXPECT_EQ(Alerts(), 2);
}

TEST_F(RegistryScan, ValuesThatAreNotTextAreSkipped) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Number", platform::RegValue{4, std::string("\1\0\0\0", 4)});
  sys.registry.Set(RootKey::LocalMachine, kRun, "Bytes", platform::RegValue{3, "\x01\x02"});
  sys.registry.Set(RootKey::LocalMachine, kRun, "Many", platform::RegValue{7, std::string("a\0b\0\0", 5)});
  sys.registry.Set(RootKey::LocalMachine, kRun, "Text", Text("C:\\text.exe"));
  sys.registry.Set(RootKey::LocalMachine, kRun, "Expand", Text("%windir%\\x.exe", platform::ValueType::ExpandSz));
  StartScanning({R::Delete, R::Allow});

  ASSERT_EQ(Alerts(), 2);
  EXPECT_EQ(shown[0].name, "Text");
  EXPECT_EQ(shown[1].value, "%windir%\\x.exe");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Are you sure that you want to remove this registry entry?"});
  EXPECT_FALSE(HasValue("Text"));
  EXPECT_EQ(Value(RootKey::LocalMachine, kRun, "Number")->data, std::string("\1\0\0\0", 4));
  EXPECT_TRUE(HasValue("Bytes"));
  EXPECT_TRUE(HasValue("Many"));
}

TEST_F(RegistryScan, AMissingKeyHoldsNoEntries) {
  // Only the machine-wide Run key exists, as on a trimmed-down Windows.
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Only\"=\"C:\\\\only.exe\"\n");
  StartScanning({R::Allow});

  EXPECT_EQ(Alerts(), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_FALSE(app.Terminated());
  EXPECT_FALSE(sys.registry.KeyExists(RootKey::CurrentUser, kRunOnce));
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("glowna"));
}

// A key Windows refuses is a finding for an administrator's copy, told once
// per run and key while the work goes on; a standard user's copy, which
// cannot guard anything, ends as it always has.
class RefusedKey : public RegistryScan, public ::testing::WithParamInterface<bool> {};

TEST_P(RefusedKey, IsToldOnceOrEndsACopyWithoutAdministratorsRights) {
  const bool admin = GetParam();
  SeedAutostartKeys();
  Configure("");
  sys.system.SetAdminRights(admin);
  StartAnswering();
  sys.registry.Set(RootKey::LocalMachine, kRun, "First", Text("C:\\first.exe"));
  sys.registry.Set(RootKey::CurrentUser, kRun, "Later", Text("C:\\later.exe"));
  sys.registry.DenyAccess(RootKey::LocalMachine, kRunOnce);
  backend.ClearBoxes();
  AnswerAlerts({R::Allow, R::Allow});
  FullRegistryScan();
  FullRegistryScan();  // told once per run
  if (admin) {
    EXPECT_EQ(Alerts(), 2);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "Veltrane may not read the registry key HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\"
                           "CurrentVersion\\RunOnce. A program may be hiding autostart entries there."});
    EXPECT_FALSE(app.Terminated());
  } else {
    ASSERT_EQ(Alerts(), 1);
    ASSERT_EQ(backend.Boxes().size(), 1u);
    EXPECT_NE(backend.Boxes()[0].text.find("do not allow this program to modify registry"), std::string::npos);
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(WhiteSlot(1), "err");
  }
}

INSTANTIATE_TEST_SUITE_P(RegistryScan, RefusedKey, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Administrator" : "StandardUser"; });

TEST_F(RegistryScan, ADeletionThatFailsIsToldAndNeitherRecordedNorDone) {
  Configure("");
  StartAnswering();
  struct Case {
    const char* name;
    std::function<void()> meanwhile;  // while the alert waits
    std::string told;
    bool still_there;
  };
  const Case cases[] = {
      {"refused", [this] { sys.registry.DenyWrite(RootKey::LocalMachine, kRun); },
       std::string(registry::kNotDeletedRefused), true},
      {"changed", [this] { sys.registry.Set(RootKey::LocalMachine, kRun, "Entry", Text("C:\\other.exe")); },
       std::string(registry::kNotDeletedChanged), true},
      {"gone", [this] { sys.registry.Open(RootKey::LocalMachine, kRun, platform::Access::ReadWrite)->DeleteValue("Entry"); },
       std::string(registry::kNotDeletedChanged), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OnlyValue("Entry", "C:\\entry.exe");
    on_alert = [&c](registry::Trejestralert&) { c.meanwhile(); };
    backend.ClearBoxes();
    AnswerAlerts({R::Delete});
    EXPECT_EQ(ScanRun(), 1);
    const auto boxes = Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back(), c.told);
    EXPECT_EQ(HasValue("Entry"), c.still_there);
    EXPECT_EQ(Slot(testing_support::kStatisticsPath, 0, "wartosc"), "err");
    sys.registry.AllowAccess(RootKey::LocalMachine, kRun);
  }
}

// A NUL in a value name hides the value from every tool that reads names as
// C strings; the scan asks about it, shows where the NUL stands, deletes
// exactly it and can put it back whole.
TEST_F(RegistryScan, AValueNamedWithANulIsAskedAboutDeletedAndRecoveredWhole) {
  const std::string hidden("Up\0date", 7);
  OnlyValue("Up", "C:\\up.exe");  // what the name looks like to those tools
  sys.registry.Set(RootKey::LocalMachine, kRun, hidden, Text("C:\\hidden.exe"));
  SetWhiteSlot(0, "C:\\up.exe");
  Configure("");
  StartAnswering();
  AnswerAlerts({R::Delete});
  EXPECT_EQ(ScanRun(), 1);
  EXPECT_EQ(shown[0].name, "Up<NUL>date");
  EXPECT_FALSE(Value(RootKey::LocalMachine, kRun, hidden));
  EXPECT_TRUE(HasValue("Up"));

  backend.AnswerBoxes({tk::ModalResult::Ok});
  velmain->ShowPage(Find<tk::Page>("rejestr"));
  velmain->RefreshLists();
  ASSERT_TRUE(backend.Select(List("list_rejestr"), 0));
  ASSERT_TRUE(backend.Click(Button("Button9")));
  backend.RunUntilIdle();
  ASSERT_TRUE(Value(RootKey::LocalMachine, kRun, hidden));
  EXPECT_EQ(Value(RootKey::LocalMachine, kRun, hidden)->data, "C:\\hidden.exe");
  EXPECT_EQ(Value(RootKey::LocalMachine, kRun, "Up")->data, "C:\\up.exe");
}

TEST_F(RegistryScan, TheProgressBarFollowsTheValues) {
  Configure("");
  StartAnswering();
  tk::ProgressBar& bar = Find<tk::ProgressBar>("postep");
  struct Case {
    int values, max;
  } cases[] = {{1, 0}, {2, 1}, {5, 4}};
  for (const Case& c : cases) {
    FillWhiteList(0, 0);
    sys.registry.DeleteKey(RootKey::LocalMachine, kRun);
    for (int i = 0; i < c.values; ++i)
      sys.registry.Set(RootKey::LocalMachine, kRun, "V" + std::to_string(i), Text("C:\\filler\\0.exe"));
    EXPECT_EQ(ScanRun(), 0);
    EXPECT_EQ(bar.Max(), c.max) << c.values;
    EXPECT_EQ(bar.Position(), c.max) << c.values;
  }
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("skan"));
}

TEST_F(RegistryScan, AnEntryTheWhiteListCannotHoldIsSaidAndTheScanGoesOn) {
  Configure("");
  StartAnswering();
  sys.registry.DeleteKey(RootKey::LocalMachine, kRun);
  sys.registry.Set(RootKey::LocalMachine, kRun, "Lines", Text("C:\\a.exe\r\nC:\\b.exe"));
  sys.registry.Set(RootKey::LocalMachine, kRun, "Long", Text("C:\\" + std::string(3000, 'x') + ".exe"));
  sys.registry.Set(RootKey::LocalMachine, kRun, "Plain", Text("C:\\plain.exe"));
  backend.ClearBoxes();
  AnswerAlerts({R::Allow, R::Allow, R::Allow});
  EXPECT_EQ(ScanRun(), 3);
  const std::vector<std::string> said(2, std::string(registry::kNotStorable));
  EXPECT_EQ(Boxes(), said);
  EXPECT_EQ(WhiteSlot(0), "C:\\plain.exe");
  EXPECT_EQ(WhiteSlot(1), "err");
}

TEST_F(RegistryScan, TheExitScanExaminesTheMachineWideRunKeyAlone) {
  SeedAutostartKeys();
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Machine\"=\"C:\\\\m.exe\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"User\"=\"C:\\\\u.exe\"\n");
  Configure("auto_skan_koncowy=1");
  StartAnswering();
  AnswerAlerts({R::Delete});
  backend.CloseBox(*velmain);
  backend.RunUntilIdle();

  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "Machine");
  EXPECT_FALSE(HasValue("Machine"));
  EXPECT_TRUE(app.Terminated());
}

TEST_F(RegistryScan, ScanNowRunsWhatItsOptionsAsk) {
  SeedAutostartKeys();
  sys.registry.Set(RootKey::CurrentUser, kRunOnce, "Once", Text("C:\\once.exe"));
  Configure("", "skanuj_rejestr=0");
  StartAnswering();

  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("skan"));
  ASSERT_TRUE(backend.Click(Button("Button11")));
  backend.RunUntilIdle();
  EXPECT_EQ(Alerts(), 0);

  Tick("skanuj_rejestr", true);
  AnswerAlerts({R::Allow});
  ASSERT_TRUE(backend.Click(Button("Button11")));
  backend.RunUntilIdle();
  EXPECT_EQ(Alerts(), 1);
  EXPECT_EQ(WhiteSlot(0), "C:\\once.exe");
}

}  // namespace
}  // namespace scenario
