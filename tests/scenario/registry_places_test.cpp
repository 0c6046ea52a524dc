// The other places that start programs at log-on: each is scanned, asked
// about with its own section text, allowed, deleted and recovered as the
// Run keys are.
#include <string>

#include "registry/scan.h"
#include "registry/undo.h"
#include "registry/autorun.h"
#include "tests/scenario/registry_fixture.h"

namespace scenario {
namespace {

using platform::RegView;
using platform::RootKey;
using R = RegistryProgram::Reply;

class RegistryPlaces : public RegistryProgram {
 protected:
  static constexpr const char* kBaseline = "C:\\Windows\\baseline.vlt";
  RegistryPlaces() {
    sys.registry.SetWow64(true);
    Configure("auto_skan_rejestru=1");
  }
  // Where the place keeps its entry: in the key, or in a program's subkey.
  static std::string Path(const registry::ScanKey& key) {
    if (key.entries != registry::Entries::EachSubkey) return std::string(key.path);
    return std::string(key.path) + "\\notepad.exe" + (key.tails.empty() ? "" : "\\" + FirstTail(key));
  }
  static std::string FirstTail(const registry::ScanKey& key) {
    return std::string(key.tails.substr(0, key.tails.find(';')));
  }
  // How the alert names the entry.
  static std::string Shown(const registry::ScanKey& key, const std::string& name) {
    if (key.entries != registry::Entries::EachSubkey) return name;
    return key.tails.empty() ? "notepad.exe" : "notepad.exe (" + FirstTail(key) + ")";
  }
  // A class override's values, and boot commands' lines, as one text.
  std::string Data(const registry::ScanKey& key, RegView view, const std::string& name) {
    std::unique_ptr<platform::RegistryKey> k = sys.registry.Open(key.root, Path(key), platform::Access::Read, nullptr, view);
    auto read = [&](const std::string& n) {
      std::optional<platform::RegValue> v = k ? k->Read(n) : std::nullopt;
      return v ? v->data : "(absent)";
    };
    if (key.entries == registry::Entries::ClassOverride) return read("") + "|" + read("DelegateExecute");
    return read(name);
  }
  void Set(const registry::ScanKey& key, RegView view, const std::string& name, const std::string& data) {
    std::unique_ptr<platform::RegistryKey> k = sys.registry.OpenOrCreate(key.root, Path(key), nullptr, view);
    if (key.entries == registry::Entries::EachLine) {
      k->WriteMultiText(name, std::string(kChecksDisks) + '\0' + data + std::string(2, '\0'));
    } else if (key.entries == registry::Entries::ClassOverride) {
      k->WriteText("", data);
      k->WriteText("DelegateExecute", "");
    } else {
      k->WriteText(name, data);
    }
  }
  static constexpr std::string_view kChecksDisks = "autocheck autochk *";
  void Recover() {
    backend.AnswerBoxes({tk::ModalResult::Ok, tk::ModalResult::Yes});
    velmain->ShowPage(Find<tk::Page>("rejestr"));
    velmain->RefreshLists();
    ASSERT_TRUE(backend.Select(List("list_rejestr"), 0));
    ASSERT_TRUE(backend.Click(Button("Button9")));
    backend.RunUntilIdle();
  }
};

TEST_F(RegistryPlaces, EachIsAskedAboutAllowedDeletedAndRecoveredInEachView) {
  StartAnswering();
  ASSERT_EQ(Alerts(), 0);
  std::vector<registry::ScanKey> places(std::begin(registry::kOtherKeys), std::end(registry::kOtherKeys));
  places.insert(places.end(), std::begin(registry::kHijackKeys), std::end(registry::kHijackKeys));
  for (const registry::ScanKey& key : places) {
    for (const registry::KeyView& view : registry::ViewsOf(key, sys.registry)) {
      const std::string what = std::string(view.section_text);
      const std::string name = key.entries == registry::Entries::EveryValue ? "Agent" : std::string(key.value);
      const std::string before = Data(key, view.view, name);
      const std::string command = "C:\\Agent\\agent.exe " + what;
      Set(key, view.view, name, command);
      const std::string set = Data(key, view.view, name);
      const bool overrides = key.entries == registry::Entries::ClassOverride;
      shown.clear();
      AnswerAlerts({R::Allow});
      Restart();
      ASSERT_EQ(Alerts(), 1) << what;
      EXPECT_EQ(shown[0].section, what);
      EXPECT_EQ(shown[0].name, Shown(key, name));
      EXPECT_EQ(shown[0].value, command + (overrides ? " (DelegateExecute)" : ""));
      if (overrides) {
        // Known by its values, in the baseline, never on the white list.
        EXPECT_EQ(Slot(kBaseline, 0, "nazwa"), name) << what;
        EXPECT_EQ(WhiteSlot(0, "sekcja"), "err") << what;
      } else {
        EXPECT_EQ(WhiteSlot(0, "sekcja"), "HKLM_run") << what;
        EXPECT_EQ(WhiteSlot(0, "miejsce"), what);
        EXPECT_EQ(WhiteSlot(0, "widok"), view.view == RegView::Wow32 ? "32-bit" : "err") << what;
      }

      // Known now, wherever it was allowed: nothing is asked.
      shown.clear();
      Restart();
      EXPECT_EQ(Alerts(), 0) << what;

      // Deleted: gone, or Windows' own back in its place; then recovered.
      WriteList(testing_support::kWhiteListPath, "");
      if (overrides) WriteList(kBaseline, "");
      AnswerAlerts({R::Delete});
      Restart();
      ASSERT_EQ(Alerts(), 1) << what;
      std::string left = "(absent)";
      if (key.entries == registry::Entries::NotWindowsOwn && key.root == RootKey::LocalMachine)
        left = name == "Shell" ? "explorer.exe" : "C:\\Windows\\system32\\userinit.exe,";
      if (key.entries == registry::Entries::EmptiedOnDelete) left = "";
      if (key.entries == registry::Entries::EachLine) left = std::string(kChecksDisks) + std::string(2, '\0');
      if (overrides) {
        left = "(absent)|(absent)";
        EXPECT_FALSE(sys.registry.KeyExists(key.root, Path(key))) << what;
      }
      EXPECT_EQ(Data(key, view.view, name), left) << what;
      Recover();
      EXPECT_EQ(Data(key, view.view, name), set) << what;
      EXPECT_EQ(backend.BoxTexts().back(), registry::kRecovered) << what;

      // Left as it was found, for the next place.
      if (overrides || key.entries == registry::Entries::EachLine)
        sys.registry.DeleteKey(key.root, Path(key));
      else if (before == "(absent)")
        sys.registry.OpenOrCreate(key.root, Path(key), nullptr, view.view)->DeleteValue(name);
      else
        Set(key, view.view, name, before);
      WriteList(testing_support::kWhiteListPath, "");
    }
  }
}

// Boot commands: only the lines added to Windows' own are asked about;
// "Delete" keeps every other line, and lines put back in either order
// leave the value as it was.
TEST_F(RegistryPlaces, BootCommandsComeBackWhereTheyWereInEitherOrder) {
  const std::string session = std::string(registry::kSessionManagerPath);
  const std::string original = std::string("autocheck  AUTOCHK *\0C:\\a.exe one\0C:\\b.exe two\0\0", 48);
  StartAnswering();
  sys.registry.Set(RootKey::LocalMachine, session, "BootExecute", {uint32_t(platform::ValueType::MultiSz), original});
  auto boot = [&] { return sys.registry.Get(RootKey::LocalMachine, session, "BootExecute")->data; };
  for (int first : {0, 1}) {
    shown.clear();
    AnswerAlerts({R::Delete, R::Delete});
    Restart();
    ASSERT_EQ(Alerts(), 2);
    EXPECT_EQ(shown[0].value, "C:\\a.exe one");
    EXPECT_EQ(shown[1].value, "C:\\b.exe two");
    EXPECT_EQ(shown[1].name, "BootExecute");
    EXPECT_EQ(boot(), std::string("autocheck  AUTOCHK *\0\0", 22));
    for (int row : {first, 0}) {
      backend.AnswerBoxes({tk::ModalResult::Ok});
      velmain->ShowPage(Find<tk::Page>("rejestr"));
      velmain->RefreshLists();
      ASSERT_TRUE(backend.Select(List("list_rejestr"), row));
      ASSERT_TRUE(backend.Click(Button("Button9")));
      backend.RunUntilIdle();
    }
    EXPECT_EQ(boot(), original) << "first put back: row " << first;
  }
}

// A class override is known by its kind and its values: allowing an empty
// one does not allow an empty one of another kind.
TEST_F(RegistryPlaces, AnAllowedEmptyOverrideAllowsNoOtherKind) {
  auto override_of = [&](const std::string& kind) {
    Reg("[HKEY_CURRENT_USER\\Software\\Classes\\" + kind + "\\shell\\open\\command]\n@=\"\"\n\"DelegateExecute\"=\"\"\n");
  };
  override_of("ms-settings");
  AnswerAlerts({R::Allow});
  StartAnswering();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "Current user, program type override.");
  EXPECT_EQ(shown[0].name, "ms-settings");
  EXPECT_EQ(shown[0].value, "(empty) (DelegateExecute)");
  override_of("exefile");
  shown.clear();
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "exefile");
}

// A debugger written while the live test runs is asked about at once,
// without the change question, and "Delete" takes it away. Only its own
// place is scanned: an entry left unanswered in another waits.
TEST_F(RegistryPlaces, ADebuggerWrittenLaterIsAskedAboutQuietly) {
  Configure("auto_skan_rejestru=1\r\nauto_skan_zywy=1");
  Reg("[HKEY_CURRENT_USER\\" + std::string(registry::kCommandProcessorPath) + "]\n\"AutoRun\"=\"C:\\\\prompt.cmd\"\n");
  app::Tvelmain& w = StartAnswering();  // its alert closed unanswered
  ASSERT_EQ(Alerts(), 1);
  ASSERT_TRUE(w.protection().Watching());
  shown.clear();
  backend.ClearBoxes();
  AnswerAlerts({R::Delete});
  Reg("[HKEY_LOCAL_MACHINE\\" + std::string(registry::kDebuggersPath) + "\\notepad.exe]\n\"Debugger\"=\"C:\\\\evil.exe\"\n");
  EXPECT_TRUE(backend.WaitForSynchronize(5000));
  backend.RunUntilIdle();
  backend.Advance(600);
  backend.RunUntilIdle();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "Local machine, program debugger.");
  EXPECT_EQ(shown[0].name, "notepad.exe");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Are you sure that you want to remove this registry entry?"});
  EXPECT_FALSE(sys.registry.Get(RootKey::LocalMachine, std::string(registry::kDebuggersPath) + "\\notepad.exe", "Debugger"));
}

// Active Setup starts from what the first scan finds, as the tasks do; an
// entry is named by its component's key and title.
TEST_F(RegistryPlaces, ActiveSetupStartsFromWhatIsThere) {
  const std::string components = "[HKEY_LOCAL_MACHINE\\" + std::string(registry::kActiveSetupPath);
  Reg(components + "\\{44BBA840}]\n@=\"Windows Mail\"\n\"StubPath\"=\"C:\\\\mail.exe /setup\"\n");
  StartAnswering();
  EXPECT_EQ(Alerts(), 0);
  std::vector<std::vector<std::string>> known;
  for (const auto& e : sys.event_log.events)
    if (e.id == events::kAutostartTakenAsKnown.id) known.push_back(e.strings);
  EXPECT_EQ(known, (std::vector<std::vector<std::string>>{
                       {"Local machine, Active Setup.", "{44BBA840} (Windows Mail)", "C:\\mail.exe /setup"}}));

  Reg(components + "\\{EVIL}]\n\"StubPath\"=\"C:\\\\evil.exe\"\n");
  AnswerAlerts({R::Allow});
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "Local machine, Active Setup.");
  EXPECT_EQ(shown[0].name, "{EVIL}");
  Restart();
  EXPECT_EQ(Alerts(), 1);
}

// A person's own COM servers start from what each person's first scan finds.
TEST_F(RegistryPlaces, APersonsComServersStartFromWhatThatPersonsFirstScanFinds) {
  const std::string servers = "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID";
  Reg(servers + "\\{AAA}\\InprocServer32]\n@=\"C:\\\\old.dll\"\n");
  StartAnswering();
  EXPECT_EQ(Alerts(), 0);
  EXPECT_EQ(Slot("C:\\Windows\\baseline.vlt", 0, "sid"), sys.system.UserSid().value_or(""));

  Reg(servers + "\\{BBB}\\LocalServer32]\n@=\"C:\\\\evil.exe\"\n");
  AnswerAlerts({R::Delete});
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "Current user, COM server.");
  EXPECT_EQ(shown[0].name, "{BBB} (LocalServer32)");
  EXPECT_EQ(Value(RootKey::CurrentUser, "Software\\Classes\\CLSID\\{BBB}\\LocalServer32", ""), std::nullopt);

  // Another person's copy makes its own first scan.
  Reg(servers + "\\{CCC}\\InprocServer32]\n@=\"C:\\\\theirs.dll\"\n");
  sys.system.SetUserSid("S-1-5-21-1-2-3-1002");
  Restart();
  EXPECT_EQ(Alerts(), 1);
}

TEST_F(RegistryPlaces, AKeyBothViewsShareIsScannedOnce) {
  sys.registry.ShareInViews("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies");
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run]\n"
      "\"Agent\"=\"C:\\\\agent.exe\"\n");
  StartAnswering();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "Local machine, policy autostart.");
}

TEST_F(RegistryPlaces, WindowsOwnLogonValuesAndEmptyLoadAreNeverAsked) {
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon]\n"
      "\"Shell\"=\"C:\\\\WINDOWS\\\\Explorer.EXE\"\n"
      "\"Userinit\"=\"c:\\\\windows\\\\system32\\\\USERINIT.exe\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon]\n"
      "\"Shell\"=\"explorer.exe\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\n"
      "\"Load\"=\"\"\n"
      "\"Device\"=\"C:\\\\not\\\\a\\\\program.exe\"\n");
  StartAnswering();
  EXPECT_EQ(Alerts(), 0);

  // A Userinit with a program after Windows' own is a change.
  Reg("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon]\n"
      "\"Userinit\"=\"C:\\\\Windows\\\\system32\\\\userinit.exe,C:\\\\evil.exe\"\n");
  Restart();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "Local machine, logon programs.");
}


constexpr const char* kStartup = "C:\\Users\\someone\\Start Menu\\Programs\\Startup";
constexpr const char* kAllStartup = "C:\\ProgramData\\Start Menu\\Programs\\Startup";

class StartupFolders : public RegistryProgram {
 protected:
  StartupFolders() {
    Configure("auto_skan_rejestru=1");
    sys.shell.SetStartupFolder(platform::StartupFolder::CurrentUser, kStartup);
    sys.shell.SetStartupFolder(platform::StartupFolder::AllUsers, kAllStartup);
  }
  void Put(const std::string& folder, const std::string& name) {
    std::filesystem::create_directories(*sys.files.HostPath(folder));
    WriteFile(folder + "\\" + name, "x");
  }
};

TEST_F(StartupFolders, ShortcutsAndFilesAreAskedAboutByTheirCommandsAndTrashedOnDelete) {
  // The person's folder does not exist yet: nothing to ask there, no error.
  Put(kAllStartup, "desktop.ini");
  Put(kAllStartup, "tool.exe");
  StartAnswering();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].section, "All users, startup folder.");
  EXPECT_EQ(shown[0].name, "tool.exe");
  EXPECT_EQ(shown[0].value, std::string(kAllStartup) + "\\tool.exe");

  const std::string link = std::string(kStartup) + "\\Agent.lnk";
  Put(kStartup, "Agent.lnk");
  sys.shell.AddShortcut(link, {"C:\\Program Files\\Agent\\agent.exe", "/tray --quiet"});
  Put(kStartup, "Web.lnk");
  sys.shell.AddShortcut(std::string(kStartup) + "\\Web.lnk", {"", ""});
  Put(kStartup, "Plain.lnk");
  sys.shell.AddShortcut(std::string(kStartup) + "\\Plain.lnk", {"C:\\Apps\\plain.exe", ""});
  shown.clear();
  backend.ClearBoxes();
  AnswerAlerts({R::Allow, R::DeleteTicked, R::Allow, R::Allow});
  Restart();
  ASSERT_EQ(Alerts(), 4);
  EXPECT_EQ(shown[0].section, "Current user, startup folder.");
  EXPECT_EQ(shown[0].name, "Agent.lnk");
  EXPECT_EQ(shown[0].value, "\"C:\\Program Files\\Agent\\agent.exe\" /tray --quiet");
  EXPECT_EQ(shown[1].value, "C:\\Apps\\plain.exe");
  EXPECT_EQ(shown[2].value, std::string(kStartup) + "\\Web.lnk");
  EXPECT_EQ(WhiteSlot(0, "wartosc"), "\"C:\\Program Files\\Agent\\agent.exe\" /tray --quiet");
  EXPECT_EQ(WhiteSlot(0, "miejsce"), "Current user, startup folder.");
  EXPECT_EQ(WhiteSlot(0, "nazwa"), "Agent.lnk");

  // Deleted: in the trashcan and on its list, the command on the black list.
  const std::string trashed = "C:\\Program Files\\Quorvik\\Veltrane\\Trashcan\\Plain.lnk";
  EXPECT_FALSE(sys.files.Exists(std::string(kStartup) + "\\Plain.lnk"));
  EXPECT_TRUE(sys.files.Exists(trashed));
  EXPECT_EQ(Slot("C:\\Windows\\trashcan.vlt", 0, "sciezka"), std::string(kStartup) + "\\Plain.lnk");
  EXPECT_EQ(Slot(testing_support::kBlackListPath, 0, "sciezka"), "C:\\Apps\\plain.exe");
  const std::vector<std::string> boxes = Boxes();
  EXPECT_NE(std::find(boxes.begin(), boxes.end(),
                      registry::kTrashed),
            boxes.end());

  // "Recover" on the Trashcan page puts it back where it was.
  backend.AnswerBoxes({tk::ModalResult::Ok});
  velmain->ShowPage(Find<tk::Page>("smietnik"));
  velmain->RefreshLists();
  ASSERT_TRUE(backend.Select(List("list_smietnik"), 0));
  ASSERT_TRUE(backend.Click(Button("Button10")));
  backend.RunUntilIdle();
  EXPECT_TRUE(sys.files.Exists(std::string(kStartup) + "\\Plain.lnk"));
  EXPECT_FALSE(sys.files.Exists(trashed));
}


TEST_F(StartupFolders, TheLiveTestWatchesEveryKeyAndTheFolders) {
  Configure("auto_skan_zywy=1");
  Put(kStartup, "existing.exe");
  SetWhiteSlot(0, std::string(kStartup) + "\\existing.exe");
  app::Tvelmain& w = StartAnswering();
  ASSERT_TRUE(w.protection().Watching());
  int questions = 0;
  backend.box_answerer = [&](const tk::headless::BoxRecord& box) {
    if (box.text == "Protected part of system registry was changed. Do you want to scan the registry now?") ++questions;
    return tk::ModalResult::No;
  };
  auto reported = [&](const std::function<void()>& change) {
    w.protection().Start();
    const int before = questions;
    change();
    return backend.WaitForSynchronize(5000) && (backend.RunUntilIdle(), questions == before + 1);
  };
  EXPECT_TRUE(reported([&] {
    sys.registry.Set(RootKey::CurrentUser, kRun, "Sneaky", platform::RegValue{1, "C:\\sneaky.exe"});
  }));
  EXPECT_TRUE(reported([&] {
    sys.registry.Set(RootKey::LocalMachine, std::string(registry::kWinlogonPath), "Userinit",
                     platform::RegValue{1, "C:\\evil.exe"});
  }));
  EXPECT_TRUE(reported([&] { WriteFile(std::string(kStartup) + "\\new.lnk", "x"); }));
}


// A folder Windows will not list may hide anything: told once per run and
// logged, while the other folder is still asked about.
TEST_F(StartupFolders, AFolderThatCannotBeListedIsTold) {
  Put(kStartup, "hidden.exe");
  Put(kAllStartup, "tool.exe");
  sys.files.DenyListing(kStartup);
  AnswerAlerts({R::Allow});
  StartAnswering();
  FullRegistryScan();
  ASSERT_EQ(Alerts(), 1);
  EXPECT_EQ(shown[0].name, "tool.exe");
  EXPECT_EQ(Boxes(), std::vector<std::string>{std::string("Veltrane may not read the folder ") + kStartup +
                                              ". A program may be hiding autostart entries there."});
  const platform::portable::PortableEventLog::Event refused{events::kAccessRefused.level, events::kAccessRefused.id,
                                                  {kStartup, "read"}};
  EXPECT_EQ(std::count(sys.event_log.events.begin(), sys.event_log.events.end(), refused), 2);
}

TEST_F(StartupFolders, TheProgramsOwnMovesRaiseNoQuestion) {
  Configure("auto_skan_rejestru=1\r\nauto_skan_zywy=1");
  Put(kStartup, "tool.exe");
  AnswerAlerts({R::Delete});
  app::Tvelmain& w = StartAnswering();
  ASSERT_EQ(Alerts(), 1);
  ASSERT_FALSE(sys.files.Exists(std::string(kStartup) + "\\tool.exe"));
  ASSERT_TRUE(w.protection().Watching());
  backend.ClearBoxes();

  backend.AnswerBoxes({tk::ModalResult::Ok});
  w.ShowPage(Find<tk::Page>("smietnik"));
  w.RefreshLists();
  ASSERT_TRUE(backend.Select(List("list_smietnik"), 0));
  ASSERT_TRUE(backend.Click(Button("Button10")));
  backend.RunUntilIdle();
  ASSERT_TRUE(sys.files.Exists(std::string(kStartup) + "\\tool.exe"));
  EXPECT_FALSE(backend.WaitForSynchronize(300)) << "its own move was reported";
  EXPECT_TRUE(w.protection().Watching());
}

}  // namespace
}  // namespace scenario
