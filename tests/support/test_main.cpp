// The main of the unit test programs. A test that is skipped or disabled
// fails the run unless tests/allowed_skips.txt names it with a reason; a
// listed one is reported as "[  ALLOWED SKIP ]", which the test registry
// counts as skipped.
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "tests/support/slot_writers.h"

// The sanitizers of the host build report leaks and stop at the first
// undefined behaviour, in every run of this program.
extern "C" const char* __asan_default_options() { return "detect_leaks=1"; }
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

namespace {

// "Suite.Name  reason" per line; '#' starts a comment. The file is the
// one VELTRANE_ALLOWED_SKIPS names in the environment (the Windows runs give
// it as a Windows path), else the source tree's.
std::map<std::string, std::string> AllowedSkips() {
  std::map<std::string, std::string> allowed;
  const char* path = std::getenv("VELTRANE_ALLOWED_SKIPS");
#ifdef VELTRANE_ALLOWED_SKIPS_FILE
  if (!path) path = VELTRANE_ALLOWED_SKIPS_FILE;
#endif
  if (!path) return allowed;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t blank = line.find_first_of(" \t");
    if (blank == std::string::npos) continue;  // a name without a reason allows nothing
    size_t reason = line.find_first_not_of(" \t", blank);
    if (reason != std::string::npos) allowed[line.substr(0, blank)] = line.substr(reason);
  }
  return allowed;
}

std::string NameOf(const testing::TestInfo& info) {
  return std::string(info.test_suite_name()) + "." + info.name();
}

// GoogleTest's own printer, judging each skip: a listed one is printed as
// usual, after "[  ALLOWED SKIP ]"; an unlisted one is printed as a failure
// and never as "[  SKIPPED ]", which the test registry would count as a skip.
class SkipPolicy : public testing::TestEventListener {
 public:
  SkipPolicy(std::map<std::string, std::string> allowed, testing::TestEventListener* printer)
      : allowed_(std::move(allowed)), printer_(printer) {}
  bool Broken() const { return broken_ > 0; }

  void OnTestEnd(const testing::TestInfo& info) override {
    if (info.result()->Skipped() && !Judge(NameOf(info), "skipped")) return;
    printer_->OnTestEnd(info);
  }
  void OnTestIterationEnd(const testing::UnitTest& unit, int iteration) override {
    // Its summary would list the unlisted skips as skipped.
    if (!Broken()) return printer_->OnTestIterationEnd(unit, iteration);
    std::printf("[==========] %d tests ran.\n[  FAILED  ] %d skipped without a reason, %d failed\n",
                unit.test_to_run_count(), broken_, unit.failed_test_count());
  }

  // True when allowed. Also for a disabled test run on its own (as the
  // test registry runs each test).
  bool Judge(const std::string& name, const char* what) {
    auto it = allowed_.find(name);
    if (it != allowed_.end()) {
      std::printf("[  ALLOWED SKIP ] %s: %s\n", name.c_str(), it->second.c_str());
      return true;
    }
    std::printf("[  FAILED  ] %s was %s, and tests/allowed_skips.txt gives no reason for it\n", name.c_str(), what);
    ++broken_;
    return false;
  }

  void OnTestProgramStart(const testing::UnitTest& u) override { printer_->OnTestProgramStart(u); }
  void OnTestIterationStart(const testing::UnitTest& u, int i) override { printer_->OnTestIterationStart(u, i); }
  void OnEnvironmentsSetUpStart(const testing::UnitTest& u) override { printer_->OnEnvironmentsSetUpStart(u); }
  void OnEnvironmentsSetUpEnd(const testing::UnitTest& u) override { printer_->OnEnvironmentsSetUpEnd(u); }
  void OnTestSuiteStart(const testing::TestSuite& s) override { printer_->OnTestSuiteStart(s); }
  void OnTestStart(const testing::TestInfo& t) override { printer_->OnTestStart(t); }
  void OnTestDisabled(const testing::TestInfo& t) override { printer_->OnTestDisabled(t); }
  void OnTestPartResult(const testing::TestPartResult& r) override { printer_->OnTestPartResult(r); }
  void OnTestSuiteEnd(const testing::TestSuite& s) override { printer_->OnTestSuiteEnd(s); }
#ifndef GTEST_REMOVE_LEGACY_TEST_CASEAPI_
  // The printer still speaks of test cases where it has them.
  void OnTestCaseStart(const testing::TestCase& c) override { printer_->OnTestCaseStart(c); }
  void OnTestCaseEnd(const testing::TestCase& c) override { printer_->OnTestCaseEnd(c); }
#endif
  void OnEnvironmentsTearDownStart(const testing::UnitTest& u) override { printer_->OnEnvironmentsTearDownStart(u); }
  void OnEnvironmentsTearDownEnd(const testing::UnitTest& u) override { printer_->OnEnvironmentsTearDownEnd(u); }
  void OnTestProgramEnd(const testing::UnitTest& u) override { printer_->OnTestProgramEnd(u); }

 private:
  std::map<std::string, std::string> allowed_;
  std::unique_ptr<testing::TestEventListener> printer_;
  int broken_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  // A child process of the tests of two copies sharing a list.
  if (argc == 4 && std::string(argv[1]) == testing_support::kSlotWriterFlag)
    return testing_support::SlotWriterMain(argv[2], std::atoi(argv[3]));
  testing::InitGoogleMock(&argc, argv);
  auto& listeners = testing::UnitTest::GetInstance()->listeners();
  auto* policy = new SkipPolicy(AllowedSkips(), listeners.Release(listeners.default_result_printer()));
  listeners.Append(policy);
  // The registry runs a disabled test by name, asking for disabled tests too:
  // judged here instead of being run.
  const std::string filter = GTEST_FLAG_GET(filter);
  if (filter.find("DISABLED_") != std::string::npos && filter.find_first_of(":*?") == std::string::npos) {
    policy->Judge(filter, "disabled");
    return policy->Broken() ? 1 : 0;
  }
  int result = RUN_ALL_TESTS();
  return result != 0 || policy->Broken() ? 1 : 0;
}
