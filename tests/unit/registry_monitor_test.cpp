// The registry change monitor on the in-memory registry: what it reports,
// on which thread, and that a stopped watch reports nothing more.
#include <gtest/gtest.h>

#include <thread>
#include "components/zel_registry_monitor.h"
#include "tests/doubles/portable/portable_registry.h"
#include "toolkit/application.h"
#include "toolkit/error.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using components::TzelRegistryMonitor;
using platform::RootKey;
using platform::RegValue;

constexpr const char* kKey = "Software\\Watched";

class RegistryMonitor : public ::testing::Test {
 protected:
  platform::portable::PortableRegistry registry;
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  std::unique_ptr<TzelRegistryMonitor> monitor = std::make_unique<TzelRegistryMonitor>(registry);
  int reports = 0;
  std::thread::id handler_thread;

  void Start(std::function<void()> extra = {}) {
    monitor->SetKeys({{RootKey::CurrentUser, kKey}});
    monitor->SetOnChange([this, extra] {
      ++reports;
      handler_thread = std::this_thread::get_id();
      if (extra) extra();
    });
    monitor->SetActive(true);
    monitor->Loaded();
  }
  void SetValue(const std::string& name, const std::string& data) {
    registry.Set(RootKey::CurrentUser, kKey, name, RegValue{1, data});
  }
  // Waits (bounded) for the worker to hand a report over, and runs it.
  bool Reported() {
    if (!backend.WaitForSynchronize(5000)) return false;
    backend.RunUntilIdle();
    return true;
  }
  // A change the monitor must report, made after everything before it: once
  // it has been reported, anything earlier has been seen too.
  void Marker(int expected_reports) {
    SetValue("marker", std::to_string(expected_reports));
    ASSERT_TRUE(Reported());
    EXPECT_EQ(reports, expected_reports);
  }
};

TEST_F(RegistryMonitor, ReportsChangesOfTheKeyOnTheUserInterfaceThread) {
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  Start();
  EXPECT_TRUE(monitor->Watching());
  SetValue("a", "1");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(handler_thread, std::this_thread::get_id());
  // A sub-key counts too, as the sub-tree is watched.
  registry.OpenOrCreate(RootKey::CurrentUser, std::string(kKey) + "\\Sub");
  ASSERT_TRUE(Reported());
  // An unrelated key under the root wakes the worker and reports nothing.
  registry.OpenOrCreate(RootKey::CurrentUser, "Software\\Elsewhere");
  Marker(3);
}

TEST_F(RegistryMonitor, AKeyCreatedLaterDeletedAndCreatedAgainIsFollowed) {
  registry.OpenOrCreate(RootKey::CurrentUser, "Software");
  Start();
  registry.OpenOrCreate(RootKey::CurrentUser, "Software\\Other");  // silent
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 1);
  SetValue("a", "1");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 2);

  // The deletion is seen by both watches and reported once.
  registry.DeleteKey(RootKey::CurrentUser, kKey);
  ASSERT_TRUE(Reported());
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 4);
  // The new key is watched.
  Marker(5);
}

TEST_F(RegistryMonitor, AHandlerThatStopsTheMonitorHearsNoMore) {
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  Start([this] { monitor->StopMonitor(); });
  SetValue("a", "1");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 1);
  EXPECT_FALSE(monitor->Watching());
  SetValue("b", "2");
  EXPECT_FALSE(backend.WaitForSynchronize(200));
  EXPECT_EQ(reports, 1);
}

TEST_F(RegistryMonitor, AReportQueuedBeforeAStopIsNotRun) {
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  Start();
  SetValue("a", "1");
  ASSERT_TRUE(backend.WaitForSynchronize(5000));
  monitor->StopMonitor();  // a scan begins before the report's turn comes
  backend.RunUntilIdle();
  EXPECT_EQ(reports, 0);
  // Nor after the component has gone.
  monitor->StartMonitor();
  SetValue("b", "2");
  ASSERT_TRUE(backend.WaitForSynchronize(5000));
  monitor.reset();
  backend.RunUntilIdle();
  EXPECT_EQ(reports, 0);
}

TEST_F(RegistryMonitor, SettingsDecideWhetherAWorkerRuns) {
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  monitor->SetKeys({{RootKey::CurrentUser, kKey}});
  monitor->SetActive(true);
  EXPECT_FALSE(monitor->Watching()) << "not before loading has finished";
  monitor->Loaded();
  EXPECT_FALSE(monitor->Watching()) << "not without a handler";
  monitor->SetOnChange([this] { ++reports; });
  EXPECT_TRUE(monitor->Watching());
  // Active set again restarts the worker: one report per change still.
  monitor->SetActive(true);
  SetValue("a", "1");
  ASSERT_TRUE(Reported());
  Marker(2);
  monitor->SetActive(false);
  EXPECT_FALSE(monitor->Watching());
}

TEST_F(RegistryMonitor, AnErrorInTheHandlerIsShownAndTheWatchGoesOn) {
  registry.OpenOrCreate(RootKey::CurrentUser, kKey);
  app.SetTitle("Veltrane");
  Start([this] {
    if (reports == 1) throw tk::Error("Unable to write to C:\\Windows\\list.vlt");
  });
  SetValue("a", "1");
  ASSERT_TRUE(Reported());
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Error);
  EXPECT_EQ(backend.Boxes()[0].caption, "Veltrane");
  EXPECT_EQ(backend.Boxes()[0].text, "Unable to write to C:\\Windows\\list.vlt");
  Marker(2);
}

// On 64-bit Windows 32-bit programs have a Run key of their own under
// Wow6432Node: a monitor of both views reports its changes, its deletion and
// its creation, once each; a monitor of the native view does not hear them.
TEST_F(RegistryMonitor, BothViewsAreWatchedOn64BitWindows) {
  constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  constexpr const char* kRun32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  registry.SetWow64(true);
  registry.OpenOrCreate(RootKey::LocalMachine, kRun);
  registry.OpenOrCreate(RootKey::LocalMachine, kRun32);
  auto set = [this](const char* path, const std::string& name) {
    registry.Set(RootKey::LocalMachine, path, name, RegValue{1, "C:\\" + name + ".exe"});
  };
  monitor->SetKeys({{RootKey::LocalMachine, kRun, platform::RegView::Native},
                    {RootKey::LocalMachine, kRun, platform::RegView::Wow32}});
  monitor->SetOnChange([this] { ++reports; });
  monitor->SetActive(true);
  monitor->Loaded();

  set(kRun32, "wow");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 1);
  set(kRun, "native");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 2);
  registry.DeleteKey(RootKey::LocalMachine, kRun32);
  ASSERT_TRUE(Reported());
  registry.OpenOrCreate(RootKey::LocalMachine, kRun32);
  ASSERT_TRUE(Reported());
  set(kRun32, "again");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 5);

  // The native view alone: the 32-bit key's change is not reported, the
  // native change after it is, and only that one.
  monitor->SetKeys({{RootKey::LocalMachine, kRun, platform::RegView::Native}});
  set(kRun32, "unheard");
  set(kRun, "heard");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 6);
}

}  // namespace
