// TzelAutoRun: registers the program in one of the registry's autostart keys.
#pragma once
#include <string>
#include "platform/platform.h"

namespace components {

enum class TzelAutoExecKind { aekMachineRun, aekMachineRunOnce, aekUserRun, aekUserRunOnce,
                              aekServiceRun, aekServiceRunOnce };

class TzelAutoRun {
 public:
  TzelAutoRun(platform::Platform platform, TzelAutoExecKind kind);
  bool AutoRun() const { return auto_run_; }
  void SetAutoRun(bool on);

 private:
  platform::Platform platform_;
  TzelAutoExecKind kind_;
  bool auto_run_ = false;
};

}  // namespace components
