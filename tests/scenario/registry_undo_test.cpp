// Undo as the user meets it: every entry a scan deletes is recorded, page
// rejestr (reached by "Registry") lists one line per record, and "Recover"
// puts the entry back into its key and view with its name, type and data.
// On 64-bit Windows the 32-bit view of the machine's keys is scanned,
// repaired and watched too.
#include <gmock/gmock.h>

#include "registry/scan.h"
#include "registry/undo.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using platform::RegValue;
using platform::RootKey;
using platform::ValueType;
using R = RegistryProgram::Reply;
using tk::ModalResult;

constexpr const char* kRun32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOnce32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kRecovered(registry::kRecovered);

RegValue Typed(ValueType type, const std::string& data) { return RegValue{uint32_t(type), data}; }

class RegistryUndo : public RegistryProgram {
 protected:
  RegistryUndo() { SeedAutostartKeys(); }

  // 64-bit Windows as this 32-bit program sees it, with both Run keys of
  // the 32-bit view present.
  void SixtyFourBit() {
    sys.registry.SetWow64(true);
    sys.registry.OpenOrCreate(RootKey::LocalMachine, kRun32);
    sys.registry.OpenOrCreate(RootKey::LocalMachine, kRunOnce32);
  }
  void Put(RootKey root, const char* path, const std::string& name, const RegValue& value) {
    sys.registry.Set(root, path, name, value);
  }
  std::optional<RegValue> Get(RootKey root, const char* path, const std::string& name) {
    return sys.registry.Get(root, path, name);
  }
  // "Registry", then "Recover" on line index, answering the boxes in turn.
  void Recover(int index, std::initializer_list<ModalResult> answers) {
    Click(Button("Button25"));
    ASSERT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("rejestr"));
    ASSERT_TRUE(backend.Select(List("list_rejestr"), index));
    backend.RunUntilIdle();
    backend.AnswerBoxes(answers);
    Click(Button("Button9"));
  }
  void Click(tk::Control& control) {
    ASSERT_TRUE(backend.Click(control)) << control.Name();
    backend.RunUntilIdle();
  }
  std::vector<std::string> Lines() {
    Click(Button("Button25"));
    return List("list_rejestr").Items();
  }
  std::string Stats(int slot, const char* key = "wartosc") { return Slot(testing_support::kStatisticsPath, slot, key); }
  void Rescan(std::initializer_list<Reply> replies) {
    AnswerAlerts(replies);
    FullRegistryScan();
    backend.RunUntilIdle();
  }
};

TEST_F(RegistryUndo, DeletedEntriesComeBackExactlyThroughThePage) {
  SixtyFourBit();
  struct Entry {
    RootKey root;
    const char* path;
    std::string name;
    RegValue value;
  } entries[] = {
      {RootKey::LocalMachine, kRun, "Tool", Typed(ValueType::Sz, "\"C:\\Program Files\\Tool\\tool.exe\" /min")},
      {RootKey::LocalMachine, kRun32, "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87",
       Typed(ValueType::Sz, "C:\\\xD0\x9F\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBE\xD0\xB6\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5\\app.exe")},
      {RootKey::LocalMachine, kRunOnce, "Expand", Typed(ValueType::ExpandSz, "%SystemRoot%\\system32\\once.exe -x")},
      {RootKey::LocalMachine, kRunOnce32, "Blanks", Typed(ValueType::Sz, "  \"C:\\q.exe\"  ")},
      {RootKey::CurrentUser, kRun, "", Typed(ValueType::Sz, "C:\\default.exe")},
      {RootKey::CurrentUser, kRunOnce, "Marker", Typed(ValueType::Sz, "err")},
  };
  for (const Entry& e : entries) Put(e.root, e.path, e.name, e.value);
  StartScanning({R::Delete, R::Delete, R::Delete, R::Delete, R::Delete, R::Delete});
  ASSERT_EQ(Alerts(), 6);
  for (const Entry& e : entries) EXPECT_FALSE(Get(e.root, e.path, e.name)) << e.name;
  // One record per deletion, in the order of the scan.
  EXPECT_EQ(Stats(1, "korzen"), "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(Stats(1, "klucz"), kRun);
  EXPECT_EQ(Stats(1, "widok"), "32-bit");
  EXPECT_EQ(Stats(2, "typ"), "REG_EXPAND_SZ");
  EXPECT_EQ(Stats(4, "korzen"), "HKEY_CURRENT_USER");
  EXPECT_EQ(Stats(4, "widok"), "native");
  std::vector<std::string> data;
  for (const Entry& e : entries) data.push_back(e.value.data);
  EXPECT_EQ(Lines(), data);

  // Each comes back where it was, with its name, type and data; its line goes.
  for (size_t i = 0; i < std::size(entries); ++i) {
    const Entry& e = entries[i];
    SCOPED_TRACE(e.name);
    backend.ClearBoxes();
    Recover(0, {ModalResult::Ok, ModalResult::Ok});
    std::optional<RegValue> back = Get(e.root, e.path, e.name);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, e.value.type);
    EXPECT_EQ(back->data, e.value.data);
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_THAT(Boxes()[0], ::testing::StartsWith("You are putting this entry back into the registry. Are you sure?"));
    EXPECT_EQ(Boxes()[1], kRecovered);
    EXPECT_EQ(List("list_rejestr").Count(), int(std::size(entries) - i - 1));
    EXPECT_EQ(Stats(int(i)), "err");
  }
  // The 32-bit view's entries went back into the 32-bit view only.
  EXPECT_FALSE(Get(RootKey::LocalMachine, kRun, entries[1].name));
  // Back and not allowed: each is asked about again at the next scan.
  Rescan({R::Allow, R::Allow, R::Allow, R::Allow, R::Allow, R::Allow});
  EXPECT_EQ(Alerts(), 12);
}

TEST_F(RegistryUndo, TwoRecordsOfTheSameDataAreTwoLinesEachRestoringItsOwn) {
  Put(RootKey::LocalMachine, kRun, "Machine", Typed(ValueType::Sz, "C:\\same.exe"));
  Put(RootKey::CurrentUser, kRun, "User", Typed(ValueType::ExpandSz, "C:\\same.exe"));
  StartScanning({R::Delete, R::Delete});
  EXPECT_EQ(Lines(), (std::vector<std::string>{"C:\\same.exe", "C:\\same.exe"}));
  Recover(1, {});
  EXPECT_EQ(Get(RootKey::CurrentUser, kRun, "User")->type, uint32_t(ValueType::ExpandSz));
  EXPECT_FALSE(Get(RootKey::LocalMachine, kRun, "Machine"));
  EXPECT_EQ(Stats(0, "nazwa"), "Machine");
  EXPECT_EQ(Stats(1), "err");
  Recover(0, {});
  EXPECT_TRUE(Get(RootKey::LocalMachine, kRun, "Machine"));
  EXPECT_TRUE(Lines().empty());
}

TEST_F(RegistryUndo, RecoveringOverAValueOfThatNameAsksFirst) {
  Put(RootKey::LocalMachine, kRun, "App", Typed(ValueType::Sz, "C:\\old\\app.exe"));
  StartScanning({R::Delete});
  // The program put its entry back by itself meanwhile.
  Put(RootKey::LocalMachine, kRun, "app", Typed(ValueType::Sz, "C:\\new\\app.exe"));
  const std::string question =
      "The key already holds a value named \"App\":\r\n\r\nC:\\new\\app.exe\r\n\r\nDo you want to replace it with the "
      "removed entry?";

  backend.ClearBoxes();
  Recover(0, {ModalResult::Ok, ModalResult::No});
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1], question);
  EXPECT_EQ(backend.Boxes()[1].buttons, tk::MsgButtons::YesNo);
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun, "App")->data, "C:\\new\\app.exe");
  EXPECT_EQ(Lines().size(), 1u);

  backend.ClearBoxes();
  Recover(0, {ModalResult::Ok, ModalResult::Yes, ModalResult::Ok});
  EXPECT_THAT(Boxes(), ElementsAre(::testing::_, question, kRecovered));
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun, "App")->data, "C:\\old\\app.exe");
  EXPECT_TRUE(Lines().empty());
}

TEST_F(RegistryUndo, WhatCannotBeRecordedIsSaidBeforeTheValueGoes) {
  struct Case {
    const char* what;
    std::string name, data;
    bool fill_file;
    std::string_view said;
  } cases[] = {
      {"a full file", "Full", "C:\\full.exe", true, registry::kUndoFull},
      {"a line break", "Lines", "C:\\a.exe\nC:\\b.exe", false, registry::kUndoNotStorable},
      {"too long", "Long", "C:\\" + std::string(2100, 'l') + ".exe", false, registry::kUndoNotStorable},
      {"a name with a line break", "Two\r\nlines", "C:\\n.exe", false, registry::kUndoNotStorable},
  };
  Configure("");
  StartAnswering();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string file;
    if (c.fill_file)
      for (int n = 0; n <= registry::kLastSlot; ++n) file += "[" + std::to_string(n) + "]\r\nwartosc=x\r\n";
    WriteFile(testing_support::kStatisticsPath, file);
    sys.registry.DeleteKey(RootKey::LocalMachine, kRun);
    Put(RootKey::LocalMachine, kRun, c.name, Typed(ValueType::Sz, c.data));
    bool there_when_said = false;
    backend.box_answerer = [&](const tk::headless::BoxRecord& box) {
      if (box.text == c.said) there_when_said = HasValue(c.name);
      return ModalResult::Ok;
    };
    AnswerAlerts({R::Delete});
    ExitScan();
    backend.RunUntilIdle();
    EXPECT_TRUE(there_when_said);
    EXPECT_FALSE(HasValue(c.name)) << "deleted all the same";
    EXPECT_EQ(ReadFile(testing_support::kStatisticsPath), file);
  }
}

TEST_F(RegistryUndo, ARecordWrittenBeforeUndoIsShownButHoldsTooLittle) {
  WriteFile(testing_support::kStatisticsPath,
            "[0]\r\nwartosc=C:\\old.exe\r\n"
            "[1]\r\nkorzen=HKEY_LOCAL_MACHINE\r\nklucz=SYSTEM\\CurrentControlSet\\Services\\evil\r\nwidok=native\r\n"
            "nazwa=ImagePath\r\ntyp=REG_SZ\r\nwartosc=C:\\evil.exe\r\n"
            "[2]\r\nwartosc=err\r\n");
  Configure("");
  StartAnswering();
  // A record is listed whatever its text, even the free marker's.
  EXPECT_EQ(Lines(), (std::vector<std::string>{"C:\\old.exe", "C:\\evil.exe", "err"}));
  backend.ClearBoxes();
  Recover(0, {});
  EXPECT_THAT(Boxes(), ElementsAre(std::string(registry::kTooLittle)));
  backend.ClearBoxes();
  Recover(1, {});
  EXPECT_THAT(Boxes(), ElementsAre(std::string(registry::kNotOurs)));
  EXPECT_FALSE(sys.registry.KeyExists(RootKey::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\evil"));
  EXPECT_EQ(Lines().size(), 3u);
}

TEST_F(RegistryUndo, TheProgramsOwnRecoveryIsNoChangeToAskAbout) {
  Put(RootKey::LocalMachine, kRun, "App", Typed(ValueType::Sz, "C:\\app.exe"));
  Configure("auto_skan_rejestru=1\r\nauto_skan_zywy=1");
  AnswerAlerts({R::Delete});
  app::Tvelmain& w = StartAnswering();
  ASSERT_TRUE(w.protection().Watching());
  Recover(0, {});
  EXPECT_TRUE(HasValue("App"));
  EXPECT_TRUE(w.protection().Watching());
  // Another program's change afterwards is asked about, and it is the only one.
  backend.box_answerer = [](const tk::headless::BoxRecord&) { return ModalResult::No; };
  Put(RootKey::LocalMachine, kRun, "Other", Typed(ValueType::Sz, "C:\\other.exe"));
  ASSERT_TRUE(backend.WaitForSynchronize(5000));
  backend.RunUntilIdle();
  int questions = 0;
  for (const std::string& text : Boxes()) questions += text == app::kChangeQuestion;
  EXPECT_EQ(questions, 1);
}

TEST_F(RegistryUndo, ARecoveryThatCannotBeWrittenKeepsItsRecord) {
  Put(RootKey::LocalMachine, kRun, "App", Typed(ValueType::Sz, "C:\\app.exe"));
  StartScanning({R::Delete});
  sys.registry.FailWrites(RootKey::LocalMachine, kRun);
  backend.ClearBoxes();
  Recover(0, {});
  EXPECT_THAT(Boxes(), ElementsAre(::testing::_, std::string(registry::kNotRecovered)));
  EXPECT_EQ(Lines().size(), 1u);
  sys.registry.FailWrites(RootKey::LocalMachine, kRun, false);
  // A key that is gone is made again.
  sys.registry.DeleteKey(RootKey::LocalMachine, kRun);
  Recover(0, {});
  EXPECT_TRUE(HasValue("App"));
}

// --- Both registry views

TEST_F(RegistryUndo, On64BitWindowsBothViewsAreScannedAndNamedAndMatchedAlike) {
  SixtyFourBit();
  Put(RootKey::LocalMachine, kRun, "Native", Typed(ValueType::Sz, "C:\\native.exe"));
  Put(RootKey::LocalMachine, kRun32, "Wow", Typed(ValueType::Sz, "C:\\wow.exe"));
  Put(RootKey::LocalMachine, kRunOnce32, "WowOnce", Typed(ValueType::Sz, "C:\\once.exe"));
  // Allowed before from the native view: known in the 32-bit one too.
  SetWhiteSlot(0, "C:\\known.exe");
  Put(RootKey::LocalMachine, kRun32, "Known", Typed(ValueType::Sz, "C:\\known.exe"));
  StartScanning({R::Allow, R::Allow, R::Allow});
  ASSERT_EQ(Alerts(), 3);
  EXPECT_EQ(shown[0].name, "Native");
  EXPECT_EQ(shown[0].section, "Local machine, autostart.");
  EXPECT_EQ(shown[1].name, "Wow");
  EXPECT_EQ(shown[1].section, "Local machine (32-bit programs), autostart.");
  EXPECT_EQ(shown[2].name, "WowOnce");
  EXPECT_EQ(shown[2].section, "Local machine (32-bit programs), run once.");
  // The white list tells the views apart by a key of its own; "sekcja" stays.
  EXPECT_EQ(WhiteSlot(1, "widok"), "err");
  EXPECT_EQ(WhiteSlot(2, "sekcja"), "HKLM_run");
  EXPECT_EQ(WhiteSlot(2, "widok"), "32-bit");
  // What was allowed in the 32-bit view is known in the native one too.
  Put(RootKey::LocalMachine, kRun, "Copy", Typed(ValueType::Sz, "C:\\wow.exe"));
  Rescan({});
  EXPECT_EQ(Alerts(), 3);
}

TEST_F(RegistryUndo, On32BitWindowsNothingIsLookedForUnderWow6432Node) {
  Put(RootKey::LocalMachine, kRun32, "Stray", Typed(ValueType::Sz, "\"C:\\stray.exe\""));
  StartScanning({});
  EXPECT_EQ(Alerts(), 0);
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun32, "Stray")->data, "\"C:\\stray.exe\"") << "nor repaired";
}

TEST_F(RegistryUndo, TheDoctorRepairsThe32BitViewOnTheSameBar) {
  SixtyFourBit();
  Put(RootKey::LocalMachine, kRun, "N", Typed(ValueType::Sz, "\"C:\\n.exe\""));
  Put(RootKey::LocalMachine, kRun32, "W", Typed(ValueType::ExpandSz, "\"C:\\w.exe\""));
  Put(RootKey::LocalMachine, kRun32, "Args", Typed(ValueType::Sz, "\"C:\\a.exe\" -x"));
  SetWhiteSlot(0, "C:\\n.exe");
  SetWhiteSlot(1, "C:\\w.exe");
  SetWhiteSlot(2, "\"C:\\a.exe\" -x");
  Configure("");
  app::Tvelmain& w = StartAnswering();
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun, "N")->data, "C:\\n.exe");
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun32, "W")->data, "C:\\w.exe");
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun32, "W")->type, uint32_t(ValueType::ExpandSz));
  EXPECT_EQ(Get(RootKey::LocalMachine, kRun32, "Args")->data, "\"C:\\a.exe\" -x");
  ASSERT_TRUE(w.doktor);
  EXPECT_EQ(static_cast<tk::ProgressBar*>(w.doktor->FindChild("postep"))->Max(), 2);
  EXPECT_EQ(static_cast<tk::ProgressBar*>(w.doktor->FindChild("postep"))->Position(), 2);
}

}  // namespace
}  // namespace scenario
