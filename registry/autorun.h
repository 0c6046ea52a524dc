// The autostart keys and the few registry steps that the scan, the
// doctor, undo and the watch share: which views of a key to visit, opening a
// key for reading and writing, reading a value as text, and cutting a
// command line into a path part and a name part.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace registry {

inline constexpr std::string_view kRunPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunOncePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// Which values of a key are autostart entries.
enum class Entries {
  EveryValue,  // every text value
  OneValue,    // only the value named `value`, when it is not empty
  // Only the value named `value`, when it is not Windows' own (which an
  // absent value is too): "Delete" puts Windows' own back.
  NotWindowsOwn,
  // Only the value named `value`, when it is not empty: "Delete" empties it,
  // as Windows keeps it.
  EmptiedOnDelete,
  // The value named `value` of each subkey, when it is not empty; "Value
  // name:" shows the subkey's name.
  EachSubkey,
  // Each line of the multi-string named `value` but Windows' own (which an
  // empty line ends); "Delete" writes the value back without that line.
  EachLine,
  // The key itself when it exists, as one entry without a command of its
  // own: its default value with its DelegateExecute value, both of which
  // "Delete" removes. Known only through the baseline, by those values.
  ClassOverride,
};

// One autostart key as the scans see it.
struct ScanKey {
  std::string_view name;  // the operation that scans it
  platform::RootKey root;
  std::string_view path;
  std::string_view section_text;  // shown in the alert's "Registry section:" row
  // The same for the key's 32-bit view, which 64-bit Windows keeps apart
  // for the machine's keys; empty for a key that has no view of its own.
  std::string_view section_text_32 = {};
  Entries entries = Entries::EveryValue;
  std::string_view value = {};  // the one value, unless EveryValue
  // Windows fills the place with entries of its own: its first scan takes
  // what it finds as known (the baseline), as for the tasks and services.
  bool starts_known = false;
  // EachSubkey: "Value name:" is the subkey's name followed by its default
  // value in parentheses, when it has one.
  bool titled = false;
  // The place is one person's: its baseline is that person's own.
  bool per_person = false;
  // EachSubkey: the value is read in these subkeys of each subkey
  // (";" between them), "Value name:" is "<subkey> (<tail>)".
  std::string_view tails = {};

  // One of the four Run keys, which the other places only follow.
  constexpr bool IsRunKey() const { return !name.empty(); }
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

inline constexpr std::string_view kPolicyRunPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
inline constexpr std::string_view kRunServicesPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
inline constexpr std::string_view kRunServicesOncePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";
inline constexpr std::string_view kTerminalServerRunPath =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kTerminalServerRunOncePath =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr std::string_view kWindowsPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr std::string_view kWinlogonPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline constexpr std::string_view kCommandProcessorPath = "SOFTWARE\\Microsoft\\Command Processor";
inline constexpr std::string_view kDebuggersPath =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
inline constexpr std::string_view kExitMonitorsPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit";
inline constexpr std::string_view kActiveSetupPath = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
inline constexpr std::string_view kClassIdsPath = "Software\\Classes\\CLSID";
inline constexpr std::string_view kSessionManagerPath = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr std::string_view kDelegateExecute = "DelegateExecute";

// The other places in the registry from which programs start at log-on, in
// the order of the full scan, after the four keys above. An entry allowed
// from one of them records its section text (white_list::kPlace).
inline constexpr ScanKey kOtherKeys[] = {
    {"", platform::RootKey::LocalMachine, kPolicyRunPath, "Local machine, policy autostart.",
     "Local machine (32-bit programs), policy autostart."},
    {"", platform::RootKey::CurrentUser, kPolicyRunPath, "Current user, policy autostart."},
    {"", platform::RootKey::LocalMachine, kRunServicesPath, "Local machine, services autostart.",
     "Local machine (32-bit programs), services autostart."},
    {"", platform::RootKey::LocalMachine, kRunServicesOncePath, "Local machine, services run once.",
     "Local machine (32-bit programs), services run once."},
    {"", platform::RootKey::CurrentUser, kRunServicesPath, "Current user, services autostart."},
    {"", platform::RootKey::CurrentUser, kRunServicesOncePath, "Current user, services run once."},
    {"", platform::RootKey::LocalMachine, kTerminalServerRunPath, "Local machine, terminal server autostart."},
    {"", platform::RootKey::LocalMachine, kTerminalServerRunOncePath, "Local machine, terminal server run once."},
    {"", platform::RootKey::CurrentUser, kWindowsPath, "Current user, Windows load.", {}, Entries::OneValue, "Load"},
    {"", platform::RootKey::CurrentUser, kWindowsPath, "Current user, Windows run.", {}, Entries::OneValue, "Run"},
    {"", platform::RootKey::LocalMachine, kWinlogonPath, "Local machine, logon shell.", {}, Entries::NotWindowsOwn,
     "Shell"},
    {"", platform::RootKey::LocalMachine, kWinlogonPath, "Local machine, logon programs.", {},
     Entries::NotWindowsOwn, "Userinit"},
    {"", platform::RootKey::CurrentUser, kWinlogonPath, "Current user, logon shell.", {}, Entries::NotWindowsOwn,
     "Shell"},
};

// A kind of file whose command the person's own classes override.
constexpr ScanKey TypeOverride(std::string_view path, std::string_view kind) {
  return {"", platform::RootKey::CurrentUser, path, "Current user, program type override.", {}, Entries::ClassOverride,
          kind};
}

// The places that make Windows run a program in place of another, inside
// every other, or with every command prompt: scanned after the tasks and
// services, and watched on their own, each change scanned quietly.
inline constexpr ScanKey kHijackKeys[] = {
    {"", platform::RootKey::LocalMachine, kWindowsPath, "Local machine, DLLs loaded into every program.",
     "Local machine (32-bit programs), DLLs loaded into every program.", Entries::EmptiedOnDelete, "AppInit_DLLs"},
    {"", platform::RootKey::LocalMachine, kCommandProcessorPath, "Local machine, command prompt start.",
     "Local machine (32-bit programs), command prompt start.", Entries::OneValue, "AutoRun"},
    {"", platform::RootKey::CurrentUser, kCommandProcessorPath, "Current user, command prompt start.", {},
     Entries::OneValue, "AutoRun"},
    {"", platform::RootKey::LocalMachine, kDebuggersPath, "Local machine, program debugger.",
     "Local machine (32-bit programs), program debugger.", Entries::EachSubkey, "Debugger"},
    {"", platform::RootKey::LocalMachine, kExitMonitorsPath, "Local machine, program exit monitor.",
     "Local machine (32-bit programs), program exit monitor.", Entries::EachSubkey, "MonitorProcess"},
    // Run once for each person at log-on.
    {"", platform::RootKey::LocalMachine, kActiveSetupPath, "Local machine, Active Setup.",
     "Local machine (32-bit programs), Active Setup.", Entries::EachSubkey, "StubPath", true, true},
    // The person's own COM servers, which Windows loads before the machine's.
    {"", platform::RootKey::CurrentUser, kClassIdsPath, "Current user, COM server.", {}, Entries::EachSubkey, "", true,
     false, true, "InprocServer32;LocalServer32"},
    // Native programs run before Windows has started.
    {"", platform::RootKey::LocalMachine, kSessionManagerPath, "Local machine, boot commands.", {}, Entries::EachLine,
     "BootExecute"},
    // The person's own commands for a kind of file, which Windows takes
    // before the machine's, and which no program needs to be able to start.
    TypeOverride("Software\\Classes\\exefile\\shell\\open\\command", "exefile"),
    TypeOverride("Software\\Classes\\mscfile\\shell\\open\\command", "mscfile"),
    TypeOverride("Software\\Classes\\ms-settings\\shell\\open\\command", "ms-settings"),
    TypeOverride("Software\\Classes\\Folder\\shell\\open\\command", "Folder"),
    TypeOverride("Software\\Classes\\Directory\\shell\\open\\command", "Directory"),
    TypeOverride("Software\\Classes\\batfile\\shell\\open\\command", "batfile"),
    TypeOverride("Software\\Classes\\cmdfile\\shell\\open\\command", "cmdfile"),
    TypeOverride("Software\\Classes\\comfile\\shell\\open\\command", "comfile"),
    TypeOverride("Software\\Classes\\htafile\\shell\\open\\command", "htafile"),
    TypeOverride("Software\\Classes\\piffile\\shell\\open\\command", "piffile"),
};

// The subkeys an EachSubkey place reads its value in, below each subkey:
// its tails, or the subkey itself ("") when it has none.
std::vector<std::string_view> TailsOf(const ScanKey& key);

// The lines of a multi-string that Windows reads: up to the first empty one.
std::vector<std::string_view> MultiLines(std::string_view data);
// The multi-string without its line at index, or with line put in at index
// (at the end when there are fewer lines); the rest byte for byte.
std::string WithoutLine(std::string_view data, size_t index);
std::string WithLine(std::string_view data, size_t index, std::string_view line);
// Windows' own boot command, which checks the disks: letter case and
// repeated blanks do not matter.
bool IsWindowsOwnBootLine(std::string_view line);
// What the alert shows of a class override: its default value, "(empty)"
// when it has none, then " (DelegateExecute)" when that value is there.
std::string OverrideShown(const std::optional<std::string>& command, bool delegates);
// What an override is known by: its command and its DelegateExecute data.
std::string OverrideMatch(const std::optional<std::string>& command, const std::optional<std::string>& delegate);

// The place of a key, a view and a value name that the scans guard; nullptr
// for any other.
const ScanKey* PlaceOf(platform::RootKey root, std::string_view path, platform::RegView view, std::string_view name);

// Windows' own data of a NotWindowsOwn value: what "Delete" puts back, ""
// for a value that Windows does not have (the current user's shell), which
// "Delete" removes.
std::string WindowsOwnData(const ScanKey& key, std::string_view system_folder);
// Whether data is Windows' own for the value: letter case, the trailing
// comma of Userinit and a full path to the Windows folder's explorer.exe do
// not matter.
bool IsWindowsOwn(const ScanKey& key, std::string_view data, std::string_view windows_folder,
                  std::string_view system_folder);

// One view of a key: the native one, and on 64-bit Windows the 32-bit one of
// the machine's keys, in that order.
struct KeyView {
  platform::RegView view;
  std::string_view section_text;
};
// The views in which the key is a key of its own: what the scans, the
// doctor and the watch visit.
std::vector<KeyView> ViewsOf(const ScanKey& key, platform::Registry& registry);

// Every autostart key in each view the scans visit, each once: what the
// live test watches with the change question.
std::vector<platform::KeyLocation> AutostartKeys(platform::Registry& registry);
// Every key of kHijackKeys in each view, each once: what the live test
// watches to scan them quietly.
std::vector<platform::KeyLocation> HijackKeys(platform::Registry& registry);

enum class KeyOpen {
  Opened,
  Missing,  // holds no autostart entries: nothing to do there
  Refused,  // exists, but Windows refuses the access asked for
  Failed,   // cannot be opened for another reason
};

struct AutorunKey {
  KeyOpen status = KeyOpen::Missing;
  std::unique_ptr<platform::RegistryKey> key;  // set when Opened
};

// Opens an existing key, for reading only unless asked; never creates one.
AutorunKey OpenAutorunKey(platform::Registry& registry, platform::RootKey root, std::string_view path,
                          platform::RegView view = platform::RegView::Native,
                          platform::Access access = platform::Access::Read);

// "HKEY_LOCAL_MACHINE\SOFTWARE\...\Run", and ", 32-bit view" for that view.
std::string KeyText(platform::RootKey root, std::string_view path, platform::RegView view);

// What Windows refused Veltrane: reading a key, changing one (the doctor),
// deleting an entry, listing a Startup folder, or reading the
// administrator's policy lists.
enum class Refusal { Read, Change, Delete, ListFolder, ReadPolicy };
inline constexpr std::string_view kNotDeletedRefused =
    "This entry was not deleted: Windows refused. It will be shown again at the next scan.";
inline constexpr std::string_view kNotDeletedChanged =
    "This entry was not deleted: it changed or disappeared after it was shown.";
// "Veltrane may not read the registry key <key>. ...", "change" for Change,
// "read the folder <folder>" for ListFolder.
std::string RefusalText(const std::string& key_text, Refusal refusal);

// A value name as the person is shown it: "<NUL>" where a NUL stands, which
// no text could show.
std::string ShownName(std::string_view name);

// The value's data as text, up to its first NUL as every text reader sees
// it; nullopt when the value is gone or is not of a text type.
std::optional<std::string> ReadText(platform::RegistryKey& key, const std::string& name);
std::optional<std::string> TextBeforeNul(platform::RegValue value);

// The command Windows runs for a value: its text up to the first NUL, and
// whether more data follows that NUL.
struct AutorunCommand {
  std::string text;
  bool more_after_nul = false;
  uint32_t type = uint32_t(platform::ValueType::Sz);  // Sz or ExpandSz
};
std::optional<AutorunCommand> ReadCommand(platform::RegistryKey& key, const std::string& name);

// A command line cut by plain text splitting: path is everything up to and
// including the last '\' or ':', name the rest. Quotes and arguments stay.
struct CommandParts {
  std::string path;
  std::string name;
};
CommandParts SplitCommandLine(std::string_view text);

}  // namespace registry
