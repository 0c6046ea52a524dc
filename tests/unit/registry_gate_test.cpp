// The scan gate: a scan asked for while one runs waits for it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "registry/scan_gate.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using registry::ScanGate;
using registry::ScanRequest;

class RegistryGate : public ::testing::Test {
 protected:
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  ScanGate gate;
  std::vector<std::string> log;

  // A scan that logs its start and end, running inner in between.
  std::function<void()> Scan(const std::string& name, std::function<void()> inner = {}) {
    return [this, name, inner] {
      log.push_back(name + "+");
      EXPECT_TRUE(gate.Busy());
      if (inner) inner();
      log.push_back(name + "-");
    };
  }
};

TEST_F(RegistryGate, RequestsDuringAScanRunAfterItOncePerKindInOrder) {
  gate.Run(ScanRequest::FullScan, Scan("full", [&] {
             gate.Run(ScanRequest::ExitScan, Scan("exit"));
             gate.Run(ScanRequest::ScanNow, Scan("now"));
             gate.Run(ScanRequest::ExitScan, Scan("exit again"));
             gate.Run(ScanRequest::FullScan, Scan("full again"));
             EXPECT_TRUE(gate.Pending(ScanRequest::ExitScan));
           }));
  EXPECT_EQ(log, (std::vector<std::string>{"full+", "full-", "exit+", "exit-", "now+", "now-", "full again+",
                                           "full again-"}));
  EXPECT_FALSE(gate.Busy());
  EXPECT_FALSE(gate.Pending(ScanRequest::ExitScan));
}

TEST_F(RegistryGate, ARequestDuringAWaitingScanRunsAfterThatOne) {
  gate.Run(ScanRequest::ScanNow, Scan("first", [&] {
             gate.Run(ScanRequest::ScanNow, Scan("second", [&] { gate.Run(ScanRequest::ScanNow, Scan("third")); }));
           }));
  EXPECT_EQ(log, (std::vector<std::string>{"first+", "first-", "second+", "second-", "third+", "third-"}));
}

TEST_F(RegistryGate, AFailureReachesItsCallerAfterTheWaitingScansRan) {
  auto failing = [&] {
    gate.Run(ScanRequest::ScanNow, Scan("waiting"));
    throw std::runtime_error("Unable to write to C:\\Windows\\list.vlt");
  };
  EXPECT_THROW(gate.Run(ScanRequest::FullScan, failing), std::runtime_error);
  EXPECT_EQ(log, (std::vector<std::string>{"waiting+", "waiting-"}));
  EXPECT_FALSE(gate.Busy());
  // And the gate still works.
  gate.Run(ScanRequest::FullScan, Scan("later"));
  EXPECT_EQ(log.back(), "later-");
}

TEST_F(RegistryGate, AFailingWaitingScanIsShownAndTheNextStillRuns) {
  gate.Run(ScanRequest::FullScan, Scan("full", [&] {
             gate.Run(ScanRequest::ExitScan, [] { throw std::runtime_error("broken"); });
             gate.Run(ScanRequest::ScanNow, Scan("now"));
           }));
  EXPECT_EQ(log.back(), "now-");
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Error);
  EXPECT_EQ(backend.Boxes()[0].text, "broken");
}

TEST_F(RegistryGate, WaitingScansAreDroppedWhenTheProgramEnds) {
  gate.Run(ScanRequest::FullScan, Scan("full", [&] {
             gate.Run(ScanRequest::ScanNow, Scan("now"));
             app.Terminate();
           }));
  EXPECT_EQ(log, (std::vector<std::string>{"full+", "full-"}));
  EXPECT_FALSE(gate.Pending(ScanRequest::ScanNow));
}

// The last job (the program's end after its exit scan) comes after the
// running scan, instead of what waited; nothing asked for later runs.
TEST_F(RegistryGate, TheLastJobRunsAfterTheRunningScanInsteadOfTheWaitingOnes) {
  gate.Run(ScanRequest::FullScan, Scan("full", [&] {
             gate.Run(ScanRequest::ScanNow, Scan("now"));
             gate.RunLast(Scan("last", [&] { gate.Run(ScanRequest::ExitScan, Scan("from last")); }));
             gate.RunLast(Scan("second last"));
             gate.Run(ScanRequest::FullScan, Scan("full again"));
           }));
  EXPECT_EQ(log, (std::vector<std::string>{"full+", "full-", "last+", "last-"}));
  EXPECT_FALSE(gate.Busy());
  gate.Run(ScanRequest::ScanNow, Scan("after the end"));
  EXPECT_EQ(log.size(), 4u);
}

TEST_F(RegistryGate, WithNoScanRunningTheLastJobRunsAtOnceAndErrorsAreShown) {
  gate.RunLast([&] {
    log.push_back("last");
    EXPECT_TRUE(gate.Busy());
    throw std::runtime_error("Unable to write to C:\\Windows\\list.vlt");
  });
  EXPECT_EQ(log, std::vector<std::string>{"last"});
  EXPECT_FALSE(gate.Busy());
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Error);
}

}  // namespace
