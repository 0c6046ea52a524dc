// Scans never run inside one another: a scan asked for while one runs (an
// hourly tick, the change reaction, "Scan now", the exit scan) runs once,
// after it.
#include "registry/scan.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using platform::RootKey;
using R = RegistryProgram::Reply;

class RegistryNesting : public RegistryProgram {
 protected:
  void SetUp() override {
    SeedAutostartKeys();
    sys.registry.Set(RootKey::LocalMachine, kRun, "First", platform::RegValue{1, "C:\\first.exe"});
    Configure("");
  }
  // Adds a value the running scan has not seen, then asks for scans.
  void DuringFirstAlert(const std::function<void()>& requests) {
    on_alert = [this, requests](registry::Trejestralert& alert) {
      if (Alerts() != 1) return;
      sys.registry.Set(RootKey::LocalMachine, kRun, "Second", platform::RegValue{1, "C:\\second.exe"});
      requests();
    };
  }
};

TEST_F(RegistryNesting, EveryKindOfRequestWaitsForTheRunningScan) {
  struct Case {
    const char* what;
    std::function<void(app::Tvelmain&)> request;
  } cases[] = {
      {"Scan now (also the hourly tick and the change reaction)", [](app::Tvelmain& w) { w.ScanNow(); }},
      {"full scan", [this](app::Tvelmain&) { FullRegistryScan(); }},
      {"exit scan", [this](app::Tvelmain&) { ExitScan(); }},
  };
  StartAnswering();
  Tick("skanuj_rejestr", true);
  for (const Case& c : cases) {
    sys.registry.Open(RootKey::LocalMachine, kRun, platform::Access::ReadWrite)->DeleteValue("Second");
    WriteList(testing_support::kWhiteListPath, "");
    shown.clear();
    backend.ClearBoxes();
    DuringFirstAlert([&] { c.request(*velmain); });
    AnswerAlerts({R::Allow, R::Allow});
    ExitScan();

    ASSERT_EQ(Alerts(), 2) << c.what;
    EXPECT_EQ(shown[0].name, "First") << c.what;
    // Asked by the second scan, which ran after the first had ended.
    EXPECT_EQ(shown[1].name, "Second") << c.what;
    EXPECT_EQ(shown[1].modal_depth, 1) << c.what;
    EXPECT_TRUE(Boxes().empty()) << c.what;
    EXPECT_EQ(WhiteSlot(0), "C:\\first.exe") << c.what;
    EXPECT_EQ(WhiteSlot(1), "C:\\second.exe") << c.what;
    EXPECT_FALSE(velmain->protection().Gate().Busy());
  }
}

TEST_F(RegistryNesting, WaitingScansAreDroppedWhenTheProgramEnds) {
  StartAnswering();
  Tick("skanuj_rejestr", true);
  DuringFirstAlert([&] {
    velmain->ScanNow();
    velmain->ExitProgram();  // "Exit program" on the tray menu
  });
  ExitScan();
  EXPECT_EQ(Alerts(), 1);
  // The alert the ending closed is no lost answer to report.
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(velmain->protection().Gate().Busy());
}

}  // namespace
}  // namespace scenario
