// TzelAutoRun: registers the program in one of the registry's autostart keys
// (a value named after the program's file name, holding its full path) and
// removes that registration again.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include "components/worker_queue.h"
#include "components/zel_component.h"
#include "platform/platform.h"

namespace components {

// The current user's Run key, the one place the program registers itself.
enum class TzelAutoExecKind { aekUserRun };

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
// while AutoRun is on and the program runs elevated. Each user has a task of
// their own, named after the user's security identifier, so that one
// administrator's setting never replaces or removes another's; the
// uninstaller computes the name the same way.
std::string LogonTaskName(const std::string& user_sid);
// The one task every user shared before; whoever applies the task now
// takes it away.
inline constexpr const char* kSharedLogonTaskName = "Veltrane";

// Whether the program at path may be started with full rights at log-on:
// only where nobody without an administrator's rights can replace it, that
// is below the Program Files folder or directly in the Windows folder (some
// of whose subfolders, Temp among them, every user may write). Decided by
// the path alone, since file permissions cannot be relied on everywhere.
bool ProtectedLocation(const std::string& path, const std::string& program_files, const std::string& windows);

class TzelAutoRun : public TzelComponent {
 public:
  // Registers the running program's full path. The Task Scheduler is asked
  // only through the scheduler's worker, never on the caller's thread.
  TzelAutoRun(platform::Platform platform, TzelAutoExecKind kind, WorkerQueue& scheduler);
  ~TzelAutoRun() override;

  // Acts only on a change: the registration is applied afresh.
  void SetAutoRun(bool on);
  bool AutoRun() const { return auto_run_; }

  // Brings the registry in line with the setting; with AutoRun off (its
  // default) this removes any registration left from an earlier run.
  void Loaded() override { ApplyAutoRun(); }

  // Asking the Task Scheduler is slow, so the owner chooses when it first
  // happens: until this is called only the Run value follows the setting.
  // It brings the log-on task in line with the setting (on the worker, in
  // the order asked), and from then on every change of the setting does both.
  void ApplyLogonTask();

  // Raised each time a registration asked for could not be written (no
  // right to the key, a full disk): the program does not start with Windows.
  std::function<void()> OnRegisterFailed;
  // Raised once per run when AutoRun is on and the program runs elevated,
  // but lies where others could replace it: it gets no log-on task, so it
  // starts with Windows only through the Run value, without full rights.
  std::function<void()> OnLogonTaskWithheld;
  // Raised on the window's thread for each call the Task Scheduler refused:
  // the task's name and the scheduler's error. A task that was gone already
  // needed no removal, and is no failure.
  std::function<void(const std::string& task, uint32_t error)> OnLogonTaskFailed;

 private:
  void ApplyAutoRun();
  // Sets the task to start program, or removes it without one.
  void ChangeLogonTask(const std::string& name, std::optional<std::string> program);
  platform::Platform platform_;
  WorkerQueue& scheduler_;
  // Replies of the worker that come after the component went find it gone.
  const std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  const TzelAutoExecKind kind_;
  const std::string file_name_;
  bool auto_run_ = false;
  bool with_logon_task_ = false;
  bool withheld_told_ = false;
};

}  // namespace components
