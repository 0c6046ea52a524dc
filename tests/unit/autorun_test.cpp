// Start-with-Windows registration against the portable registry.
#include <gmock/gmock.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "components/zel_autorun.h"
#include "tests/doubles/portable/portable.h"
#include "tests/doubles/headless/headless_backend.h"
#include "toolkit/application.h"

namespace components {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using platform::RootKey;
using platform::WaitResult;

constexpr const char* kExe = "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe";
// What is registered: the path in quotes, so that "C:\Program.exe" can never stand in for it.
const std::string kCommand = "\"" + std::string(kExe) + "\"";
constexpr uint32_t kAccessDenied = 0x80070005;
constexpr const char* kUserRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class AutoRun : public ::testing::Test {
 protected:
  AutoRun() { sys.system.SetExePath(kExe); }

  // The text data of a value, nullopt when it is missing.
  std::optional<std::string> Value(RootKey root, const std::string& path, const std::string& name) {
    auto v = sys.registry.Get(root, path, name);
    if (!v) return std::nullopt;
    EXPECT_EQ(v->type, uint32_t(platform::ValueType::Sz));
    return v->data;
  }
  void Seed(RootKey root, const std::string& path, const std::string& name, const std::string& data) {
    ASSERT_TRUE(sys.registry.Set(root, path, name, {uint32_t(platform::ValueType::Sz), data}));
  }

  // A task, and what it starts, once the calls asked for have been made
  // and their replies have reached the window's thread.
  std::optional<std::string> TaskNamed(const std::string& name) {
    EXPECT_TRUE(scheduler.Wait(10000));
    backend.RunUntilIdle();
    return sys.system.LogonTask(name);
  }
  // The current user's own log-on task.
  std::optional<std::string> Task() { return TaskNamed(LogonTaskName(*sys.system.UserSid())); }

  platform::portable::ScratchFolder scratch;
  platform::portable::PortablePlatform sys{scratch.path()};
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  WorkerQueue scheduler{sys.system};
};

TEST_F(AutoRun, RegistersInTheUsersRunKey) {
  AutoRunKey where = AutoRunLocation(TzelAutoExecKind::aekUserRun);
  EXPECT_EQ(where.root, RootKey::CurrentUser);
  EXPECT_EQ(where.path, kUserRun);
  EXPECT_TRUE(RegisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));
  EXPECT_TRUE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::nullopt);
}

TEST_F(AutoRun, ValueIsNamedAfterTheFileName) {
  const std::pair<const char*, const char*> kNames[] = {
      {"C:\\dir\\name.exe", "name.exe"},
      {"C:name.exe", "name.exe"},
      {"D:/tools/name.exe", "name.exe"},
      {"\\\\server\\share\\a b.exe", "a b.exe"},
      {"name.exe", "name.exe"},
      {"C:\\dir.d\\noext", "noext"},
  };
  for (const auto& [file, name] : kNames) {
    SCOPED_TRACE(file);
    EXPECT_TRUE(RegisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, file));
    EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, name), "\"" + std::string(file) + "\"");
    EXPECT_TRUE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, file));
    EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, name), std::nullopt);
  }
}

TEST_F(AutoRun, AFileNameWithoutANameNeverTouchesTheDefaultValue) {
  Seed(RootKey::CurrentUser, kUserRun, "", "someone's default");
  for (const char* file : {"", "C:\\dir\\", "C:"}) {
    SCOPED_TRACE(file);
    EXPECT_FALSE(RegisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, file));
    EXPECT_TRUE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, file));
    EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, ""), std::optional<std::string>("someone's default"));
  }
}

TEST_F(AutoRun, FailuresGiveFalseAndNothingElse) {
  // Missing key: registering creates it, removing finds nothing to do.
  sys.registry.DeleteKey(RootKey::CurrentUser, kUserRun);
  EXPECT_FALSE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  EXPECT_FALSE(sys.registry.KeyExists(RootKey::CurrentUser, kUserRun));
  EXPECT_TRUE(RegisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));

  // A key the user may not write to.
  Seed(RootKey::CurrentUser, kUserRun, "veltrane.exe", "old");
  sys.registry.DenyWrite(RootKey::CurrentUser, kUserRun);
  EXPECT_FALSE(RegisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  EXPECT_FALSE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>("old"));

  // Opened, but writes and deletions fail.
  sys.registry.AllowAccess(RootKey::CurrentUser, kUserRun);
  sys.registry.FailWrites(RootKey::CurrentUser, kUserRun);
  EXPECT_FALSE(RegisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  EXPECT_FALSE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, kExe));
  // Nothing to delete is success even so.
  EXPECT_TRUE(UnregisterAutoRun(sys.View(), TzelAutoExecKind::aekUserRun, "C:\\other.exe"));
}

TEST_F(AutoRun, LoadingWithAutoRunOffRemovesAnOldRegistration) {
  Seed(RootKey::CurrentUser, kUserRun, "veltrane.exe", kExe);
  Seed(RootKey::CurrentUser, kUserRun, "other.exe", "C:\\other.exe");
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  // Creating it touches nothing; finishing loading does.
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kExe));
  component.Loaded();
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::nullopt);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "other.exe"), std::optional<std::string>("C:\\other.exe"));
}

TEST_F(AutoRun, SwitchingOnAndOff) {
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  component.Loaded();
  component.SetAutoRun(true);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));
  component.SetAutoRun(false);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::nullopt);
  // Already gone, and the key with it: still nothing fails.
  component.SetAutoRun(true);
  sys.registry.DeleteKey(RootKey::CurrentUser, kUserRun);
  component.SetAutoRun(false);
  EXPECT_FALSE(sys.registry.KeyExists(RootKey::CurrentUser, kUserRun));
}

TEST_F(AutoRun, AssigningTheCurrentSettingTouchesNothing) {
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  component.SetAutoRun(true);
  auto watch = sys.registry.Watch(RootKey::CurrentUser, kUserRun, false,
                                  platform::kChangeName | platform::kChangeLastSet);
  ASSERT_TRUE(watch);
  component.SetAutoRun(true);
  EXPECT_EQ(watch->Wait(0), WaitResult::TimedOut);
  component.SetAutoRun(false);
  EXPECT_EQ(watch->Wait(0), WaitResult::Changed);
}

// Elevated, the Run value alone would never start the program at log-on:
// a log-on task goes and comes with the setting. Without those rights the
// Run value starts it, and a task would start a second copy.
TEST_F(AutoRun, ALogonTaskFollowsTheSettingOnlyWhileElevated) {
  sys.system.SetRunsElevated(true);
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  component.Loaded();
  component.ApplyLogonTask();
  EXPECT_EQ(Task(), std::nullopt);
  component.SetAutoRun(true);
  EXPECT_EQ(Task(), std::optional<std::string>(kExe));
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));
  component.SetAutoRun(false);
  EXPECT_EQ(Task(), std::nullopt);

  // A task an elevated run left behind goes when a run without rights applies its own.
  component.SetAutoRun(true);
  sys.system.SetRunsElevated(false);
  TzelAutoRun later(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  later.Loaded();
  later.SetAutoRun(true);
  later.ApplyLogonTask();
  EXPECT_EQ(Task(), std::nullopt);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));

  // A scheduler that refuses the task leaves the Run value in place, and
  // each call it refused is reported with the task and the error.
  std::vector<std::pair<std::string, uint32_t>> refused;
  later.OnLogonTaskFailed = [&](const std::string& task, uint32_t error) { refused.emplace_back(task, error); };
  sys.system.SetRunsElevated(true);
  sys.system.SetSchedulerError(kAccessDenied);
  later.SetAutoRun(false);
  later.SetAutoRun(true);
  EXPECT_EQ(Task(), std::nullopt);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));
  const std::string own = LogonTaskName(*sys.system.UserSid());
  EXPECT_THAT(refused, ElementsAre(Pair(kSharedLogonTaskName, kAccessDenied), Pair(own, kAccessDenied),
                                   Pair(kSharedLogonTaskName, kAccessDenied), Pair(own, kAccessDenied)));
}

// However long the scheduler takes, its calls are made in the order the
// setting changed, so the last change is what stays; meanwhile the caller
// goes on. Removing a task that is not there is no failure.
TEST_F(AutoRun, SlowSchedulerCallsFollowTheSettingInOrder) {
  sys.system.SetRunsElevated(true);
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  int refused = 0;
  component.OnLogonTaskFailed = [&](const std::string&, uint32_t) { ++refused; };
  component.Loaded();
  sys.system.SetSchedulerSlow(true);
  component.ApplyLogonTask();
  for (int i = 0; i < 3; ++i) {
    component.SetAutoRun(true);
    component.SetAutoRun(false);
  }
  component.SetAutoRun(true);
  EXPECT_FALSE(scheduler.Wait(0));
  EXPECT_EQ(sys.system.LogonTask(LogonTaskName(*sys.system.UserSid())), std::nullopt);
  sys.system.SetSchedulerSlow(false);
  EXPECT_EQ(Task(), std::optional<std::string>(kExe));
  component.SetAutoRun(false);
  EXPECT_EQ(Task(), std::nullopt);
  EXPECT_EQ(refused, 0);
}

// Until the owner asks for it the Task Scheduler is left alone, whatever
// the setting does: a stale task stays, no new one comes. Asked once, the
// task is brought in line and follows every change from then on.
TEST_F(AutoRun, TheLogonTaskWaitsUntilTheOwnerAppliesIt) {
  sys.system.SetRunsElevated(true);
  constexpr const char* kStale = "C:\\Old\\veltrane.exe";
  ASSERT_EQ(sys.system.SetLogonTask(LogonTaskName(*sys.system.UserSid()), kStale), 0u);
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  component.Loaded();
  component.SetAutoRun(true);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));
  component.SetAutoRun(false);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::nullopt);
  component.SetAutoRun(true);
  EXPECT_EQ(Task(), std::optional<std::string>(kStale));

  component.ApplyLogonTask();
  EXPECT_EQ(Task(), std::optional<std::string>(kExe));
  component.SetAutoRun(false);
  EXPECT_EQ(Task(), std::nullopt);
  component.SetAutoRun(true);
  EXPECT_EQ(Task(), std::optional<std::string>(kExe));

  // With the setting off, applying removes what an earlier run left.
  ASSERT_EQ(sys.system.SetLogonTask(LogonTaskName(*sys.system.UserSid()), kStale), 0u);
  TzelAutoRun off(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  off.Loaded();
  EXPECT_EQ(Task(), std::optional<std::string>(kStale));
  off.ApplyLogonTask();
  EXPECT_EQ(Task(), std::nullopt);
}

// A registration that cannot be written is reported, each time one is
// asked for; switching off, or a registration that works, reports nothing.
TEST_F(AutoRun, AFailedRegistrationIsReported) {
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  int failures = 0;
  component.OnRegisterFailed = [&] { ++failures; };
  component.Loaded();
  sys.registry.FailWrites(RootKey::CurrentUser, kUserRun);
  component.SetAutoRun(true);
  EXPECT_EQ(failures, 1);
  component.SetAutoRun(false);
  EXPECT_EQ(failures, 1);
  component.SetAutoRun(true);
  EXPECT_EQ(failures, 2);
  component.SetAutoRun(false);
  sys.registry.FailWrites(RootKey::CurrentUser, kUserRun, false);
  component.SetAutoRun(true);
  EXPECT_EQ(failures, 2);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), std::optional<std::string>(kCommand));
}

// Full rights at log-on only for a program that nobody without them can
// replace, whatever the file's permissions say; the folders are asked from
// the system, never assumed to be on C:.
TEST(AutoRunLocation, FullRightsOnlyBelowProgramFilesOrDirectlyInTheWindowsFolder) {
  struct Case {
    const char* path;
    const char* program_files;
    bool safe;
  } cases[] = {
      {"C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe", "C:\\Program Files", true},
      {"c:\\PROGRAM FILES\\veltrane.exe", "C:\\Program Files", true},
      {"D:\\Program Files\\Quorvik\\veltrane.exe", "D:\\Program Files", true},
      {"C:\\Windows\\veltrane.exe", "C:\\Program Files", true},
      {"C:\\Program Files\\Quorvik\\veltrane.exe", "D:\\Program Files", false},
      // Not the native folder of 64-bit Windows, nor one that merely starts alike.
      {"C:\\Program Files (x86)\\Quorvik\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Program Filesx\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Program Files", "C:\\Program Files", false},
      // Every user may write below some of the Windows folder's subfolders.
      {"C:\\Windows\\Temp\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Windows\\Tasks\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Users\\tester\\Downloads\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Program Files\\..\\Users\\tester\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Windows\\.\\veltrane.exe", "C:\\Program Files", false},
      {"C:\\Program Files/../Users/veltrane.exe", "C:\\Program Files", false},
      {"", "C:\\Program Files", false},
      {"\\veltrane.exe", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ProtectedLocation(c.path, c.program_files, "C:\\Windows"), c.safe);
  }
}

// A second administrator's setting neither replaces nor removes the first
// one's task; the task all users once shared goes as soon as one applies
// their own.
TEST_F(AutoRun, EachUserHasALogonTaskOfTheirOwn) {
  constexpr const char* kFirst = "S-1-5-21-1-2-3-1001";
  constexpr const char* kSecond = "S-1-5-21-1-2-3-1002";
  EXPECT_NE(LogonTaskName(kFirst), LogonTaskName(kSecond));
  ASSERT_EQ(sys.system.SetLogonTask(kSharedLogonTaskName, "C:\\Old\\veltrane.exe"), 0u);
  sys.system.SetRunsElevated(true);
  sys.system.SetUserSid(std::string(kFirst));
  TzelAutoRun first(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  first.SetAutoRun(true);
  first.ApplyLogonTask();
  EXPECT_EQ(TaskNamed(kSharedLogonTaskName), std::nullopt);

  sys.system.SetUserSid(std::string(kSecond));
  TzelAutoRun second(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  second.SetAutoRun(true);
  second.ApplyLogonTask();
  second.SetAutoRun(false);
  EXPECT_EQ(TaskNamed(LogonTaskName(kFirst)), std::optional<std::string>(kExe));
  EXPECT_EQ(TaskNamed(LogonTaskName(kSecond)), std::nullopt);

  // Without its own name a copy touches no user's task.
  sys.system.SetUserSid(std::nullopt);
  TzelAutoRun nameless(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  nameless.ApplyLogonTask();
  EXPECT_EQ(TaskNamed(LogonTaskName(kFirst)), std::optional<std::string>(kExe));
}

// Elevated, with AutoRun on, in a folder others may write: only the Run
// value, no task (and an older one goes), and the owner is told once per run.
TEST_F(AutoRun, AProgramOthersCouldReplaceGetsNoLogonTaskAndSaysSoOnce) {
  constexpr const char* kDownloaded = "C:\\Users\\tester\\Downloads\\veltrane.exe";
  sys.system.SetExePath(kDownloaded);
  sys.system.SetRunsElevated(true);
  ASSERT_EQ(sys.system.SetLogonTask(LogonTaskName(*sys.system.UserSid()), kDownloaded), 0u);
  TzelAutoRun component(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  int told = 0;
  component.OnLogonTaskWithheld = [&] { ++told; };
  component.Loaded();
  component.ApplyLogonTask();
  EXPECT_EQ(told, 0);  // off: nothing to say
  EXPECT_EQ(Task(), std::nullopt);
  component.SetAutoRun(true);
  EXPECT_EQ(told, 1);
  EXPECT_EQ(Task(), std::nullopt);
  EXPECT_EQ(Value(RootKey::CurrentUser, kUserRun, "veltrane.exe"), "\"" + std::string(kDownloaded) + "\"");
  component.SetAutoRun(false);
  component.SetAutoRun(true);
  EXPECT_EQ(told, 1);

  // Without full rights no task is due anywhere, so there is nothing to say.
  sys.system.SetRunsElevated(false);
  TzelAutoRun plain(sys.View(), TzelAutoExecKind::aekUserRun, scheduler);
  plain.OnLogonTaskWithheld = [&] { ++told; };
  plain.SetAutoRun(true);
  plain.ApplyLogonTask();
  EXPECT_EQ(told, 1);
}

}  // namespace
}  // namespace components
