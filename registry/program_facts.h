// The facts about an entry's program that the alerts show and event 2000
// carries: its size, the company its version resource names (which nobody
// checks), and its signature (which Windows verifies).
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "registry/program_of.h"

namespace registry {

inline constexpr std::string_view kChecking = "Checking...";
inline constexpr std::string_view kNoFile = "The file does not exist.";
inline constexpr std::string_view kNoCompany = "(none given)";

struct ProgramFacts {
  std::string size{kChecking};
  std::string company{kChecking};
  std::string signature{kChecking};
  bool operator==(const ProgramFacts&) const = default;
};

// The rows' texts: "1,234,567 bytes", the company or "(none given)", and
// "Signed by <name>", "..., but Windows does not trust the signer", "Signed,
// but the file was changed after signing" or "Not signed"; for a missing
// file "The file does not exist." in each.
ProgramFacts Describe(const platform::FileFacts& facts, platform::ProgramFiles& program_files);

// Where the platform finds programs: its folders, its variables, its files.
ProgramLookup LookupOn(platform::Platform platform);

// The facts of one program, found on a worker thread while an alert shows:
// the alert, and the event log, hear of them on the window's thread.
struct FactsRequest {
  // How long the event log waits for them.
  static constexpr std::chrono::seconds kWait{10};
  ProgramFacts facts;
  bool found = false;
  const std::chrono::steady_clock::time_point asked = std::chrono::steady_clock::now();
  // Whatever the finder keeps alive with the request (its deadline).
  std::shared_ptr<void> keep;
  // When they are found.
  std::function<void()> on_found;
  // When they are found, or when the program's time to find them is up
  // (facts still missing say "Checking..."), whichever comes first; once.
  std::function<void()> on_settled;
  void Settle() {
    if (auto settled = std::move(on_settled)) settled();
    on_settled = nullptr;
  }
};

}  // namespace registry
