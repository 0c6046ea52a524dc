// The registry doctor's repairs: at every start it takes the enclosing
// double quotes off autostart commands that are a bare quoted path. The
// window that shows their progress is Tdoktor.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "registry/context.h"

namespace registry {

inline constexpr std::string_view kRegistryCorrupted =
    "Your system registry is corrupted. Please recover it from the backup. This program will not run. This "
    "error was not caused by Veltrane so check your other software.";

// The command without its enclosing double quotes (a doubled quote inside
// stands for one), or nullopt when it is to be left as it is: not quoted,
// not closed by its last character, empty inside, or with a blank inside,
// since unquoting a path with blanks would let Windows run C:\Program.exe.
std::optional<std::string> Dequote(std::string_view text);

class RegistryDoctor {
 public:
  // The machine's keys, then the person's, run-once before run.
  static constexpr int kKeys = 4;

  explicit RegistryDoctor(Context& context) : context_(context) {}

  // Repairs key n of 0..kKeys-1 in each of its views, telling progress
  // (value `position` of 0..max). False when the registry itself is broken:
  // the person has been told, and the program is not to run.
  bool RepairKey(int n, const std::function<void(int position, int max)>& progress);

 private:
  Context& context_;
};

}  // namespace registry
