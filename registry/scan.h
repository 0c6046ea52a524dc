// The registry scan: walks the values of the autostart keys, matches each
// value's data against the white list, and asks the user about every entry
// that is not on it through the registry alert.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "registry/autorun.h"
#include "registry/handoff.h"
#include "registry/ini_store.h"
#include "toolkit/control.h"

namespace registry {

class Trejestralert;

// What the scan needs from the window that owns it.
class ScanHost {
 public:
  virtual ~ScanHost() = default;
  virtual platform::Registry& Registry() = 0;
  virtual IniStore& WhiteList() = 0;
  // Where each deleted value is recorded for undo (C:\Windows\statistics.vlt).
  virtual IniStore& Statistics() = 0;
  virtual tk::ProgressBar& Progress() = 0;
  virtual void ShowScanPage() = 0;
  virtual void StopMonitor() = 0;
  virtual void StartMonitor() = 0;
  // "Live registry test": restart the change monitor after each key.
  virtual bool LiveRegistryTest() = 0;
  virtual void SetBalloonText(const std::string& text) = 0;
  virtual void ShowBalloon() = 0;
  // The key may not be read and written: tell the user and end the program.
  virtual void NoRightsExit() = 0;
  // Puts the text on the black list, telling the user itself.
  virtual void BlockProgram(const std::string& text) = 0;
  // The program's own full path ("" when it could not be had): its own
  // start-with-Windows value is never asked about.
  virtual std::string OwnPath() = 0;
  // The program is ending (or its window was closed): the scan examines
  // nothing more. By default: once the application is terminating.
  virtual bool Ending();
};

// One autostart key as the scan sees it.
struct ScanKey {
  std::string_view name;  // the operation that scans it
  platform::RootKey root;
  std::string_view path;
  std::string_view section_text;  // shown in the alert's "Registry section:" row
  // The same for the key's 32-bit view, which 64-bit Windows keeps apart
  // for the machine's keys; empty for a key that has no view of its own.
  std::string_view section_text_32 = {};
};

// In the order of the full scan. The current user's keys read "Local
// machine" too: the alert has always shown them so.
inline constexpr ScanKey kScanKeys[] = {
    {"ScanLocalMachineRun", platform::RootKey::LocalMachine, kRunPath, "Local machine, autostart.",
     "Local machine (32-bit programs), autostart."},
    {"ScanLocalMachineRunOnce", platform::RootKey::LocalMachine, kRunOncePath, "Local machine, run once.",
     "Local machine (32-bit programs), run once."},
    {"ScanCurrentUserRun", platform::RootKey::CurrentUser, kRunPath, "Local machine, autostart."},
    {"ScanCurrentUserRunOnce", platform::RootKey::CurrentUser, kRunOncePath, "Local machine, autostart."},
};
inline constexpr const ScanKey& kLocalMachineRun = kScanKeys[0];

// One view of a scan key: the native one, and on 64-bit Windows the 32-bit
// one of the machine's keys, in that order.
struct KeyView {
  platform::RegView view;
  std::string_view section_text;
};
std::vector<KeyView> ViewsOf(const ScanKey& key, platform::Registry& registry);

inline constexpr std::string_view kLostAnswer =
    "Could not establish a connection with the child window. Run this scan again. Nochanges will be saved.";
inline constexpr std::string_view kWhiteListFull =
    "The white list is full, so this entry could not be added to it. Remove entries you no longer need from "
    "the white list; until then this entry will be shown again at every scan.";
// How much of odd data the alert shows, and what it says about the rest:
// marks that come first, so that a label too narrow for the text still
// shows them.
inline constexpr size_t kShownChars = IniStore::kMaxRead;
inline constexpr std::string_view kMoreAfterNul = "(more data after a NUL) ";
// "(<n> characters, cut) ".
std::string CutMark(size_t characters);
// The text the alert shows for a command: whole when it is short, else its
// start; with the marks that say what is not shown.
std::string ShownCommand(const AutorunCommand& command);

// The program's own start-with-Windows value: its path quoted, as it
// registers itself, or bare, as older versions did.
bool IsOwnCommand(std::string_view data, std::string_view own_path);

inline constexpr std::string_view kNotStorable =
    "This entry could not be added to the white list: its name or value is too long or holds a line break. "
    "It will be shown again at every scan.";

class RegistryScan {
 public:
  RegistryScan(ScanHost& host, HandOffChannel& channel) : host_(host), channel_(channel) {}
  RegistryScan(const RegistryScan&) = delete;
  RegistryScan& operator=(const RegistryScan&) = delete;

  // One key, in each of its views: every text value whose data is not on
  // the white list is put to the user, and the answer acted on.
  void ScanAutorunKey(const ScanKey& key);
  // The four keys in order, then "Full registry scan complete".
  void FullRegistryScan();

  // The alert being shown, or nullptr.
  Trejestralert* OpenAlert() const { return alert_; }

 private:
  enum class Match { Known, New, Gone };
  Match MatchWhiteList(platform::RegistryKey& key, const std::string& name);
  // One read for data too long to hold in a list: either no slot can hold
  // it, or a NUL cut it short and the text is matched as read.
  Match MatchLongValue(platform::RegistryKey& key, const std::string& name, const platform::ValueInfo& info);
  std::optional<AutorunCommand> ReadForAlert(platform::RegistryKey& key, const std::string& name);
  void ScanView(const ScanKey& scan_key, const KeyView& view);
  void AskUser(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key, const KeyView& view);
  void Allow(const std::string& name, const std::string& data, platform::RegView view);
  // Records the value as it is now, then deletes it.
  void Delete(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key, platform::RegView view);

  ScanHost& host_;
  HandOffChannel& channel_;
  Trejestralert* alert_ = nullptr;
  // Long data as matching read it, for the alert to take while the value's
  // size says it is unchanged: such data is read once, not twice.
  struct LongRead {
    std::string name;
    platform::ValueInfo info;
    AutorunCommand command;
  };
  std::optional<LongRead> long_read_;
};

// The white-list entry key that both marks a slot as used and is matched.
inline constexpr std::string_view kWhiteListKey = "wartosc";

}  // namespace registry
