// Start-up on the first idle moment, and the ways the program ends.
#include <gmock/gmock.h>

#include <thread>

#include "tests/scenario/program.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using tk::MsgKind;

constexpr const char* kConfigPath = "C:\\Windows\\tester_config.vlt";

const char* const kFirstRunBoxes[] = {
    "This program can be dangerous for your data. You are using it at your own risk.",
    "This is a free software.",
    "Not yet configured. Standard settings will be selected.",
    "Configuration saved.",
};

const char kFirstRunConfig[] =
    "[glowna]\r\n"
    "auto_start=1\r\n"
    "auto_skan_rejestru=1\r\n"
    "auto_skan_pamieci=0\r\n"
    "auto_skan_koncowy=0\r\n"
    "auto_skan_zywy=0\r\n"
    "auto_skan_co_godzine=0\r\n"
    "skonfigurowany=1\r\n"
    "[skan]\r\n"
    "skanuj_rejestr=1\r\n"
    "skanuj_pamiec=0\r\n"
    "skanuj_cicho=0\r\n"
    "skanuj_usun_cicho=0\r\n";

std::string Config(bool start, bool registry, bool memory, bool exit, bool live, bool hourly) {
  auto f = [](bool on) { return on ? "1" : "0"; };
  return std::string("[glowna]\r\nauto_start=") + f(start) + "\r\nauto_skan_rejestru=" + f(registry) +
         "\r\nauto_skan_pamieci=" + f(memory) + "\r\nauto_skan_koncowy=" + f(exit) + "\r\nauto_skan_zywy=" +
         f(live) + "\r\nauto_skan_co_godzine=" + f(hourly) + "\r\nskonfigurowany=1\r\n";
}

class Startup : public Program {
 protected:
  Startup() { SeedAutostartKeys(); }

  // What the start-up did, as it shows: the doctor, and the scans' balloons
  // in order.
  std::vector<std::string> Done() {
    std::vector<std::string> done;
    for (const std::string& form : backend.ModalForms())
      if (form == "doktor") done.push_back("doctor");
    for (const auto& balloon : sys.shell.Balloons())
      if (done.empty() || done.back() != balloon.text) done.push_back(balloon.text);
    return done;
  }
};

TEST_F(Startup, FirstStartWithNoFiles) {
  app::Tvelmain& w = Start();

  EXPECT_THAT(backend.BoxTexts(), ElementsAreArray(kFirstRunBoxes));
  for (const auto& box : backend.Boxes()) {
    EXPECT_EQ(box.kind, MsgKind::Plain);
    EXPECT_EQ(box.caption, "Veltrane");
    EXPECT_EQ(box.buttons, tk::MsgButtons::Ok);
  }
  EXPECT_EQ(ReadFile(kConfigPath), kFirstRunConfig);
  // Quoted as registered; the list keeps the quotes inside one more pair.
  EXPECT_EQ(ReadFile("C:\\Windows\\list.vlt"),
            "[0]\r\nnumer=0\r\nsekcja=HKLM_run\r\nwartosc=\"\"C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe\"\"\r\n");
  // Opening a store creates nothing.
  for (const char* untouched : {"trashcan.vlt", "removed.vlt", "disallowed.vlt", "statistics.vlt"})
    EXPECT_FALSE(sys.files.Exists(std::string("C:\\Windows\\") + untouched)) << untouched;

  EXPECT_EQ(AutoRunValue(), kQuotedExePath);
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 55%");
  EXPECT_EQ(PageShown(), "glowna");
  EXPECT_EQ(Find<tk::Label>("wersja").Caption(), "1.0");
  EXPECT_EQ(w.ProgramVersion, "1.0");
  EXPECT_EQ(w.UpdateNumber, "6");
  EXPECT_THAT(List("list_pozwolonych").Items(), ElementsAre(kQuotedExePath));
  EXPECT_TRUE(w.Timer1.Enabled());
  EXPECT_FALSE(w.skan_1h.Enabled());
  EXPECT_THAT(Done(), ElementsAre("doctor", "Scanning done.", "Full registry scan complete"));
}

TEST_F(Startup, CreatingTheWindowRemovesAnOldRegistration) {
  sys.registry.Set(platform::RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                   "veltrane.exe", {uint32_t(platform::ValueType::Sz), kExePath});
  app::Tvelmain w(sys.View());
  EXPECT_EQ(AutoRunValue(), std::nullopt);
}

TEST_F(Startup, ACopyThatIsEndingLeavesTheRegistrationAlone) {
  sys.registry.Set(platform::RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                   "veltrane.exe", {uint32_t(platform::ValueType::Sz), kExePath});
  app.Terminate();  // as the single-instance guard ends a second copy
  app::Tvelmain w(sys.View());
  EXPECT_EQ(AutoRunValue(), std::optional<std::string>(kExePath));
}

TEST_F(Startup, TheLogOnTaskFollowsTheSettingOnceTheStartUpHasEnded) {
  sys.system.SetRunsElevated(true);
  const std::string task = components::LogonTaskName(*sys.system.UserSid());
  Start();
  SchedulerDone();
  EXPECT_EQ(sys.system.LogonTask(task), std::optional<std::string>(kExePath));
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 55%");
  // Someone else's task of that name goes when the setting is off.
  WriteFile(kConfigPath, Config(false, false, false, false, false, false));
  Restart();
  SchedulerDone();
  EXPECT_EQ(sys.system.LogonTask(task), std::nullopt);
}

// A task the Task Scheduler refuses is told once per run in the status
// line, never in a box, and each refusal is logged with the task's name.
TEST_F(Startup, ATaskTheSchedulerRefusesIsToldOnceAndLogged) {
  constexpr const char* kRefused =
      "Veltrane could not set up its start with Windows in the Task Scheduler (error 0x80070005).";
  sys.system.SetRunsElevated(true);
  sys.system.SetSchedulerError(0x80070005);
  const std::string task = components::LogonTaskName(*sys.system.UserSid());
  const auto refused = [](const std::string& name) {
    return platform::portable::PortableEventLog::Event{platform::EventLevel::Error, 6000, {name, "change"}};
  };
  Start();
  SchedulerDone();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), kRefused);
  // Too long for the status line's big type, it is told in a smaller one.
  EXPECT_LT(Find<components::TProPanel>("status").EffectiveFont().size, 10);
  EXPECT_THAT(sys.event_log.events, testing::IsSupersetOf({refused("Veltrane"), refused(task)}));
  EXPECT_THAT(backend.BoxTexts(), ElementsAreArray(kFirstRunBoxes));
  EXPECT_EQ(AutoRunValue(), kQuotedExePath);  // the Run value does not depend on it

  // Refused again, it is logged again but not told again.
  ASSERT_TRUE(backend.Click(Box("auto_skan_pamieci")));
  backend.RunUntilIdle();
  const size_t logged = sys.event_log.events.size();
  velmain->auto_.SetAutoRun(false);
  velmain->auto_.SetAutoRun(true);
  SchedulerDone();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 80%");
  EXPECT_EQ(Find<components::TProPanel>("status").EffectiveFont().size, 10);
  EXPECT_EQ(sys.event_log.events.size(), logged + 4);
}

// A Task Scheduler that takes its time holds up neither the start-up nor
// the window, which goes on handling what the user does; the calls are
// made once it answers, an exit right after a change of the setting too.
TEST_F(Startup, ASlowTaskSchedulerNeverHoldsUpTheWindow) {
  sys.system.SetRunsElevated(true);
  sys.system.SetSchedulerSlow(true);
  const std::string task = components::LogonTaskName(*sys.system.UserSid());
  Start();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 55%");
  ASSERT_TRUE(backend.Click(Box("auto_skan_pamieci")));
  backend.RunUntilIdle();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 80%");
  EXPECT_FALSE(velmain->scheduler.Wait(0));
  EXPECT_EQ(sys.system.LogonTask(task), std::nullopt);

  sys.system.SetSchedulerSlow(false);
  SchedulerDone();
  EXPECT_EQ(sys.system.LogonTask(task), std::optional<std::string>(kExePath));

  sys.system.SetSchedulerSlow(true);
  velmain->auto_.SetAutoRun(false);
  std::thread answers([this] { sys.system.SetSchedulerSlow(false); });
  ChooseFromTrayMenu("Exitprogram1");
  answers.join();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(sys.system.LogonTask(task), std::nullopt);
}

// Started from a folder the person's programs may write, the program keeps
// only its Run value and says so in the status line, at every start.
TEST_F(Startup, OutsideProgramFilesItStartsWithWindowsWithoutFullRightsAndSaysSo) {
  constexpr const char* kText =
      "Veltrane starts with Windows with full rights only when it is installed under Program Files.";
  constexpr const char* kDownloaded = "C:\\Users\\tester\\Downloads\\veltrane.exe";
  sys.system.SetRunsElevated(true);
  sys.system.SetExePath(kDownloaded);
  Start();
  SchedulerDone();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), kText);
  EXPECT_EQ(sys.system.LogonTask(components::LogonTaskName(*sys.system.UserSid())), std::nullopt);
  EXPECT_TRUE(AutoRunValue());  // the Run value starts it
  Restart();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), kText);
  // With the setting off there is nothing to say.
  WriteFile(kConfigPath, Config(false, true, false, false, false, false));
  Restart();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 25%");
}

TEST_F(Startup, SecondStartShowsNoFirstRunMessages) {
  Start();
  ASSERT_EQ(backend.Boxes().size(), 4u);
  Restart();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());
  EXPECT_EQ(ReadFile(kConfigPath), kFirstRunConfig);
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 55%");
  EXPECT_EQ(AutoRunValue(), kQuotedExePath);
}

TEST_F(Startup, EveryOptionOff) {
  WriteFile(kConfigPath, "[glowna]\r\nskonfigurowany=1\r\n");
  app::Tvelmain& w = Start();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());
  EXPECT_THAT(Done(), ElementsAre("doctor"));
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 0%");
  EXPECT_TRUE(w.Timer1.Enabled());
  EXPECT_FALSE(w.skan_1h.Enabled());
  for (tk::CheckBox* box : {&Box("auto_start"), &Box("auto_skan_rejestru"), &Box("auto_skan_pamieci"), &Box("auto_skan_koncowy"),
                            &Box("auto_skan_zywy"), &Box("auto_skan_co_godzine"), &Box("skanuj_rejestr"), &Box("skanuj_pamiec"),
                            &Box("skanuj_cicho"), &Box("skanuj_usun_cicho")})
    EXPECT_FALSE(box->Checked()) << box->Name();
  // Nothing is written when nothing changes.
  EXPECT_EQ(ReadFile(kConfigPath), "[glowna]\r\nskonfigurowany=1\r\n");
  EXPECT_FALSE(sys.files.Exists("C:\\Windows\\list.vlt"));
}

TEST_F(Startup, EveryOptionOn) {
  WriteFile(kConfigPath, Config(true, true, true, true, true, true));
  WriteFile("C:\\Windows\\list.vlt", std::string("[0]\r\nwartosc=") + kExePath + "\r\n");
  app::Tvelmain& w = Start();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());
  EXPECT_THAT(Done(), ElementsAre("doctor", "Scanning done.", "Full registry scan complete",
                                  "Memory scanning done."));
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 100%");
  EXPECT_TRUE(w.Timer1.Enabled());
  EXPECT_TRUE(w.skan_1h.Enabled());
}

TEST_F(Startup, AWriteErrorEndsTheSequence) {
  sys.files.SetReadOnly("C:\\Windows");
  app::Tvelmain& w = Start();
  std::vector<std::string> expected(kFirstRunBoxes, kFirstRunBoxes + 3);
  expected.push_back("Unable to write to C:\\Windows\\tester_config.vlt");
  EXPECT_THAT(backend.BoxTexts(), ElementsAreArray(expected));
  ASSERT_EQ(backend.Boxes().size(), 4u);
  EXPECT_EQ(backend.Boxes()[3].kind, MsgKind::Error);
  EXPECT_EQ(backend.Boxes()[3].caption, "Veltrane");
  EXPECT_THAT(Done(), ElementsAre());
  EXPECT_FALSE(w.Timer1.Enabled());
  EXPECT_FALSE(w.skan_1h.Enabled());
  EXPECT_FALSE(sys.files.Exists(kConfigPath));
  EXPECT_FALSE(sys.files.Exists("C:\\Windows\\list.vlt"));
  // The program runs on, and later idle moments do not try again.
  EXPECT_FALSE(app.Terminated());
  backend.Post([] {});
  backend.Advance(5000);
  EXPECT_EQ(backend.Boxes().size(), 4u);
  EXPECT_THAT(Done(), ElementsAre());
}

TEST_F(Startup, IdleMomentsOfNestedLoopsDoNotStartItAgain) {
  // The registry doctor's modal loop raises idle events of its own.
  int idle_moments = 0;
  backend.modal_answerer = [&](tk::Form& form) {
    if (form.Name() == "doktor") ++idle_moments;
    return false;
  };
  app::Tvelmain& w = Start();
  EXPECT_GT(idle_moments, 0);
  EXPECT_EQ(backend.Boxes().size(), 4u);  // the first-run boxes, once
  EXPECT_THAT(Done(), ElementsAre("doctor", "Scanning done.", "Full registry scan complete"));
  EXPECT_TRUE(w.Timer1.Enabled());
  EXPECT_EQ(PageShown(), "glowna");
}

TEST_F(Startup, WithoutAUserNameTheConfigurationHasAFixedName) {
  sys.system.SetUserName(std::nullopt);
  Start();
  EXPECT_EQ(backend.BoxTexts().size(), 4u);
  EXPECT_EQ(ReadFile("C:\\Windows\\default_config.vlt"), kFirstRunConfig);
}

TEST_F(Startup, TwoUsersHaveTheirOwnSettingsAndTheSameLists) {
  Start();
  WriteFile("C:\\Windows\\disallowed.vlt", "[0]\r\nsciezka=C:\\bad.exe\r\n");
  sys.system.SetUserName(std::string("other"));
  Restart();
  EXPECT_THAT(backend.BoxTexts(), ElementsAreArray(kFirstRunBoxes));
  EXPECT_EQ(ReadFile("C:\\Windows\\other_config.vlt"), kFirstRunConfig);
  EXPECT_THAT(List("list_zabronionych").Items(), ElementsAre("C:\\bad.exe"));
  EXPECT_THAT(List("list_pozwolonych").Items(), ElementsAre(kQuotedExePath));
}

// ---------------------------------------------------------------------------
// Ending

const char kNoRightsText[] =
    "Your current Windows security settings do not allow this program to modify registry. You may use this "
    "feature only on administrator accounts with full system rights.This program is currently useless for you. "
    "It will be removed from autostart group. Change your security settings.";

TEST_F(Startup, NoRightsExit) {
  app::Tvelmain& w = Start();
  backend.ClearBoxes();
  ASSERT_TRUE(AutoRunValue());
  bool ran_on = false;
  backend.Post([&] {
    w.NoRightsExit();
    ran_on = true;  // the end takes effect only back in the loop
  });
  backend.RunUntilIdle();
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, MsgKind::Information);
  EXPECT_EQ(backend.Boxes()[0].text, kNoRightsText);
  EXPECT_TRUE(ran_on);
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(AutoRunValue(), std::nullopt);
  EXPECT_TRUE(Box("auto_start").Checked());
  std::string expected = kFirstRunConfig;
  expected.replace(expected.find("auto_start=1"), 12, "auto_start=0");
  EXPECT_EQ(ReadFile(kConfigPath), expected);
}

TEST_F(Startup, AfterTheNoRightsExitTheProgramStaysUnregistered) {
  std::string config = kFirstRunConfig;
  config.replace(config.find("auto_start=1"), 12, "auto_start=0");
  WriteFile(kConfigPath, config);
  Start();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());
  EXPECT_FALSE(Box("auto_start").Checked());
  EXPECT_EQ(AutoRunValue(), std::nullopt);
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 25%");
}

TEST_F(Startup, NoRightsExitEndsTheProgramEvenWhenTheSettingCannotBeWritten) {
  app::Tvelmain& w = Start();
  backend.ClearBoxes();
  sys.files.SetReadOnly(kConfigPath);
  backend.Post([&] { w.NoRightsExit(); });
  backend.RunUntilIdle();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre(kNoRightsText, "Unable to write to C:\\Windows\\tester_config.vlt"));
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(AutoRunValue(), std::nullopt);
}

TEST_F(Startup, ExitProgramSkipsTheExitScan) {
  WriteFile(kConfigPath, Config(false, false, false, true, false, false));
  app::Tvelmain& w = Start();
  const size_t balloons = sys.shell.Balloons().size();
  backend.Post([&] { w.ExitProgram(); });
  backend.RunUntilIdle();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(sys.shell.Balloons().size(), balloons);  // the balloon a scan ends with
}

TEST_F(Startup, TheCloseBoxRunsTheExitScan) {
  WriteFile(kConfigPath, Config(false, false, false, true, false, false));
  app::Tvelmain& w = Start();
  const size_t balloons = sys.shell.Balloons().size();
  backend.CloseBox(w);
  backend.RunUntilIdle();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(sys.shell.Balloons().size(), balloons + 1);
}

}  // namespace
}  // namespace scenario
