// TzelAutoRun: registers the program in one of the registry's autostart keys
// (a value named after the program's file name, holding its full path) and
// removes that registration again.
#pragma once
#include <functional>
#include <string>
#include "components/zel_component.h"
#include "platform/platform.h"

namespace components {

enum class TzelAutoExecKind { aekMachineRun, aekMachineRunOnce, aekUserRun, aekUserRunOnce };

struct AutoRunKey {
  platform::RootKey root;
  std::string path;
};

// Root and key path where a kind registers.
AutoRunKey AutoRunLocation(TzelAutoExecKind kind);
// The value name for a file: the text after its last '\', ':' or '/'.
std::string AutoRunValueName(const std::string& file_name);
// The command that starts the file: its path in quotes, so that a path with
// blanks ("C:\Program Files\...") can never be taken for "C:\Program.exe".
std::string QuotedCommand(const std::string& file_name);
// Writes the value (REG_SZ, QuotedCommand of the file name), creating the key
// when missing. False when nothing was written: a key that cannot be opened,
// a failed write, or a file name without a name (an empty one among them).
bool RegisterAutoRun(platform::Platform platform, TzelAutoExecKind kind, const std::string& file_name);
// Removes the value. True when it is gone, including when it was never there;
// false for a key that cannot be opened and a failed deletion.
bool UnregisterAutoRun(platform::Platform platform, TzelAutoExecKind kind, const std::string& file_name);

// The Task Scheduler's log-on task that starts the program with full rights
// while AutoRun is on and the program runs elevated; the uninstaller removes
// it by this name too.
inline constexpr const char* kLogonTaskName = "Veltrane";

class TzelAutoRun : public TzelComponent {
 public:
  // Registers the running program's full path.
  TzelAutoRun(platform::Platform platform, TzelAutoExecKind kind);

  // Acts only on a change: the registration is applied afresh.
  void SetAutoRun(bool on);

  // Brings the registry in line with the setting; with AutoRun off (its
  // default) this removes any registration left from an earlier run.
  void Loaded() override { ApplyAutoRun(); }

  // Asking the Task Scheduler is slow, so the owner chooses when it first
  // happens: until this is called only the Run value follows the setting.
  // It brings the log-on task in line with the setting now, and from then
  // on every change of the setting does both.
  void ApplyLogonTask();

  // Raised each time a registration asked for could not be written (no
  // right to the key, a full disk): the program does not start with Windows.
  std::function<void()> OnRegisterFailed;

 private:
  void ApplyAutoRun();
  platform::Platform platform_;
  const TzelAutoExecKind kind_;
  const std::string file_name_;
  bool auto_run_ = false;
  bool with_logon_task_ = false;
};

}  // namespace components
