// The main of the unit test programs. A test that is skipped or disabled
// fails the run unless tests/allowed_skips.txt names it with a reason; a
// listed one is reported as "[  ALLOWED SKIP ]", which the test registry
// counts as skipped.
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

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

class SkipPolicy : public testing::EmptyTestEventListener {
 public:
  explicit SkipPolicy(std::map<std::string, std::string> allowed) : allowed_(std::move(allowed)) {}
  bool Broken() const { return broken_; }

  void OnTestEnd(const testing::TestInfo& info) override {
    if (!info.result()->Skipped()) return;
    Judge(NameOf(info), "skipped");
  }

  // A disabled test run on its own (as the test registry runs each test).
  void Judge(const std::string& name, const char* what) {
    auto it = allowed_.find(name);
    if (it != allowed_.end()) {
      std::printf("[  ALLOWED SKIP ] %s: %s\n", name.c_str(), it->second.c_str());
    } else {
      std::printf("[  FAILED  ] %s was %s, and tests/allowed_skips.txt gives no reason for it\n", name.c_str(),
                  what);
      broken_ = true;
    }
  }

 private:
  std::map<std::string, std::string> allowed_;
  bool broken_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  auto* policy = new SkipPolicy(AllowedSkips());
  testing::UnitTest::GetInstance()->listeners().Append(policy);
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
