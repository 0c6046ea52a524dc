// Tdoktor: the registry doctor. At every start it takes the enclosing double
// quotes off autostart commands that are a bare quoted path, one progress
// bar per key, and closes itself two seconds after the work is done.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "registry/autorun.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace registry {

inline constexpr std::string_view kRegistryCorrupted =
    "Your system registry is corrupted. Please recover it from the backup. This program will not run. This "
    "error was not caused by Veltrane so check your other software.";

// The command without its enclosing double quotes (a doubled quote inside
// stands for one), or nullopt when it is to be left as it is: not quoted,
// not closed by its last character, empty inside, or with a blank inside,
// since unquoting a path with blanks would let Windows run C:\Program.exe.
std::optional<std::string> Dequote(std::string_view text);

class Tdoktor : public tk::Form {
 public:
  static constexpr int kClientWidth = 285;
  static constexpr int kClientHeight = 186;

  explicit Tdoktor(platform::Registry& registry);

  void FormActivate();
  void Timer1Timer();

  // Windows refused a key: a finding to tell, or the end of a copy without
  // an administrator's rights.
  std::function<void(const std::string& key_text, Refusal refusal)> OnRefused;

  tk::Panel naglowek{this, "naglowek"};
  tk::Label opis{this, "opis"};
  tk::Label postep_tytul{this, "postep_tytul"};
  tk::ProgressBar postep{this, "postep"};
  tk::ProgressBar postep2{this, "postep2"};
  tk::ProgressBar postep3{this, "postep3"};
  tk::ProgressBar postep4{this, "postep4"};
  tk::Timer Timer1{"Timer1", 2000};

 private:
  struct RepairKey {
    const ScanKey& key;
    tk::ProgressBar Tdoktor::*bar;
  };
  static const RepairKey kRepairKeys[4];

  void BuildLayout();
  void RepairAutorunKey(const RepairKey& repair);
  void Refused(const std::string& key_text, Refusal refusal);

  platform::Registry& registry_;
};

}  // namespace registry
