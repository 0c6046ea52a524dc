// The registry scan: walks the values of the autostart keys, matches each
// value's data against the white list, and asks the user about every entry
// that is not on it through the registry alert.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/autorun.h"
#include "registry/baseline.h"
#include "registry/binding.h"
#include "registry/context.h"
#include "registry/doors.h"
#include "registry/ini_store.h"

namespace registry {

struct StartupPlace;

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

// The facts of a boot command's program, which the alert does not look for.
inline constexpr std::string_view kNotChecked = "(not checked: a boot program)";
// Those of an override with an empty command, which starts nothing itself.
inline constexpr std::string_view kNoCommand = "(no command)";

inline constexpr std::string_view kTrashed =
    "The file was moved to the trashcan. You can put it back from the Trashcan page.";

// The program's own start-with-Windows value: its path quoted, as it
// registers itself, or bare, as older versions did.
bool IsOwnCommand(std::string_view data, std::string_view own_path);

inline constexpr std::string_view kNotStorable =
    "This entry could not be added to the white list: its name or value is too long or holds a line break. "
    "It will be shown again at every scan.";

// One object per scan: each program file is looked at once in its life.
class RegistryScan {
 public:
  explicit RegistryScan(Context& context);
  RegistryScan(const RegistryScan&) = delete;
  RegistryScan& operator=(const RegistryScan&) = delete;

  // One of the four Run keys, in each of its views: every text value whose
  // data is not on the white list is put to the user, and the answer acted
  // on; then the balloon.
  void ScanAutorunKey(const ScanKey& key);
  // Every place in order (the four keys, the other keys, the Startup
  // folders, the scheduled tasks and the services), then "Full registry
  // scan complete".
  void FullRegistryScan();
  // One of the tasks and the services after a change there: no scan page,
  // no progress, the watch of the other places left running; only an entry
  // that is not known is asked about.
  void ScanQuietly(Door door);
  // The places of kHijackKeys in the keys that changed, as quietly.
  void ScanHijacksQuietly(const std::vector<platform::KeyLocation>& changed);

 private:
  // How an entry stands: not known, known, or known through a record whose
  // program changed since (asked about again; "Allow" records it anew).
  struct Standing {
    enum Kind { New, Known, Changed } kind = New;
    std::optional<int> slot;      // the white-list slot that knows it
    std::optional<int> baseline;  // or its baseline section
  };
  // nullopt when the value is gone or no command line.
  std::optional<Standing> MatchWhiteList(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key,
                                         std::string_view place);
  // One read for data too long to hold in a list: either no slot can hold
  // it, or a NUL cut it short and the text is matched as read.
  std::optional<Standing> MatchLongValue(platform::RegistryKey& key, const std::string& name,
                                         const platform::ValueInfo& info, std::string_view place);
  // Whether the administrator's policy or a white-list slot (preferably one
  // allowed from this place) holds the data, and whether its program
  // changed. The list is read once and read again only when the file has
  // changed; the policy once per scan.
  // binds: the entry's command names a program file to bind (a boot
  // command's does not).
  Standing Judge(const std::string& data, std::string_view place, bool binds = true);
  int SlotOf(const std::string& data, std::string_view place);
  void ReadWhiteList();
  // The record's program checked; its facts written when first bound or moved.
  // command: what the record holds; program: the command that names the
  // program, when that is another.
  Standing Checked(Standing standing, const BoundFile& file, std::string_view place, const std::string& name,
                   const std::string& command, const std::string* program = nullptr);
  // The program's facts now in the record that knows the entry.
  void Rebind(const Standing& standing, std::string_view place, const std::string& name, const std::string& command,
              const std::optional<BoundFile>& file);
  void BindSlot(int slot, const std::string& command, const BoundFile& file);
  int BoundFiles();
  std::optional<AutorunCommand> ReadForAlert(platform::RegistryKey& key, const std::string& name);
  void ScanViews(const ScanKey& scan_key);
  // The other keys and the Startup folders, as the Run keys but without a
  // balloon; with the watch stopped once for all of them.
  void ScanOtherPlaces();
  // The scan page shown and the live watch stopped around a scan.
  void WithWatchStopped(const std::function<void()>& scan);
  // One Startup folder: every file in it but desktop.ini.
  void ScanStartupFolder(const StartupPlace& place);
  void ScanView(const ScanKey& scan_key, const KeyView& view);
  // The alert about an entry of that section, and the person's answer
  // carried out: remove() takes the entry away and says whether it went; an
  // allowed entry records place ("" for the four Run keys) and view.
  // What an answer does to the entry.
  struct Acts {
    std::function<bool()> remove;  // "Delete": true when the entry is gone (or disabled)
    std::function<void()> allow;   // "Allow"
    std::string confirmation = "Are you sure that you want to remove this registry entry?";
    events::Event removed = events::kAutostartDeleted;
    std::string forbidden;  // what the box puts on the black list
    // The command whose program the alert describes, when it is not the
    // data shown; facts: whether it names one at all.
    std::optional<std::string> program;
    // What the facts' rows say instead, when they are not looked for.
    std::string_view no_facts;
    // What the record that knows it holds, when it is not the data shown.
    std::optional<std::string> known_as;
  };
  void AskAndAct(std::string_view section_text, const std::string& name, const AutorunCommand& command,
                 const Acts& acts, const Standing& standing);
  // The tasks or the services: the first scan takes what it finds as known.
  void ScanDoor(Door door, bool quiet);
  std::vector<DoorEntry> ReadDoor(Door door);
  // Every place, or only those in the keys given.
  void ScanHijacks(const std::vector<platform::KeyLocation>* changed = nullptr);
  // The scan's progress, unless it runs quietly.
  void Progress(int position, int max);
  bool quiet_ = false;
  Standing Judge(Door door, const DoorEntry& entry);
  void AskAboutDoorEntry(Door door, const DoorEntry& entry, const Standing& standing);
  bool DeleteTask(const DoorEntry& entry);
  bool DisableService(const DoorEntry& entry);
  // The value `name` of the key at path, shown as shown_name.
  void AskUser(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key, const KeyView& view,
               const Standing& standing, std::string_view path, const std::string& shown_name);
  // An EachSubkey place: the value of each subkey.
  void ScanSubkeys(const ScanKey& scan_key, const KeyView& view);
  // An EachLine place: each line of its value.
  void ScanLines(const ScanKey& scan_key, const KeyView& view);
  // "Delete" of a line: the value written back without it.
  bool DeleteLine(const ScanKey& scan_key, platform::RegView view, const std::string& line);
  // A ClassOverride place: the key's two values.
  struct Override {
    std::optional<AutorunCommand> command;   // the default value
    std::optional<AutorunCommand> delegate;  // DelegateExecute
    bool operator==(const Override& other) const {
      auto same = [](const std::optional<AutorunCommand>& a, const std::optional<AutorunCommand>& b) {
        return a.has_value() == b.has_value() && (!a || (a->text == b->text && a->type == b->type));
      };
      return same(command, other.command) && same(delegate, other.delegate);
    }
    std::string Command() const { return command ? command->text : std::string(); }
    // What the alert shows, and what a baseline record knows it by.
    std::string Shown() const { return OverrideShown(Command(), delegate.has_value()); }
    std::string Match() const {
      return OverrideMatch(Command(), delegate ? std::optional<std::string>(delegate->text) : std::nullopt);
    }
  };
  void ScanOverride(const ScanKey& scan_key, const KeyView& view);
  Override ReadOverride(platform::RegistryKey& key);
  Standing Judge(const ScanKey& scan_key, const Override& found);
  bool DeleteOverride(const ScanKey& scan_key, const Override& shown);
  // place: the section text a slot records, "" for the four Run keys.
  void Allow(const std::string& name, const std::string& data, std::string_view place, platform::RegView view,
             bool binds = true);
  void AskAboutFile(const StartupPlace& place, const std::string& path, const std::string& name,
                    const std::string& command, const Standing& standing);
  // Deletes the value when it still holds what the person was shown,
  // recording it for undo first; tells the person when it cannot. True
  // when it is gone (or Windows' own value is back).
  bool Delete(platform::RegistryKey& key, const std::string& name, const std::string& shown,
              const ScanKey& scan_key, platform::RegView view, std::string_view path);

  // The key opened for a deletion; nullptr once the person has been told
  // why not.
  std::unique_ptr<platform::RegistryKey> OpenToDelete(const ScanKey& scan_key, std::string_view path,
                                                      platform::RegView view, const std::string& entry);
  // The entry changed after it was shown, so it stays.
  void NotDeletedChanged(const std::string& entry);

  Context& host_;
  const platform::Platform platform_;
  // The program's own start-with-Windows value is never asked about.
  const std::string own_path_;
  struct WhiteSlot {
    std::optional<std::string> command;
    std::string place;  // "" for the four Run keys
    BoundFile file;
  };
  std::vector<WhiteSlot> white_list_;
  std::optional<uint64_t> white_list_version_;
  std::optional<std::vector<std::string>> policy_allowed_;
  // Long data as matching read it, for the alert to take while the value's
  // size says it is unchanged: such data is read once, not twice.
  struct LongRead {
    std::string name;
    platform::ValueInfo info;
    AutorunCommand command;
  };
  std::optional<LongRead> long_read_;
  Baseline baseline_;
  ProgramCheck programs_;
};

}  // namespace registry
