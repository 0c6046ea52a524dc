#include "registry/scan.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/text.h"
#include "platform/utf.h"
#include "registry/data_files.h"
#include "registry/policy.h"
#include "registry/startup_folders.h"
#include "registry/undo.h"

namespace registry {

std::string CutMark(size_t characters) { return "(" + std::to_string(characters) + " characters, cut) "; }

std::string ShownCommand(const AutorunCommand& command) {
  std::string shown = command.more_after_nul ? std::string(kMoreAfterNul) : std::string();
  const size_t characters = platform::Utf16Units(command.text);
  if (characters <= kShownChars) return shown + command.text;
  return shown + CutMark(characters) + std::string(platform::CutToUtf16Units(command.text, kShownChars));
}

bool IsOwnCommand(std::string_view data, std::string_view own_path) {
  if (own_path.empty()) return false;
  if (data.size() == own_path.size() + 2 && data.front() == '"' && data.back() == '"')
    data = data.substr(1, data.size() - 2);
  // Windows paths ignore letter case; ASCII is what a path of ours differs in.
  return platform::SameAsciiCaseless(data, own_path);
}

RegistryScan::RegistryScan(Context& context)
    : host_(context), platform_(context.Platform()), own_path_(platform_.system.ExePath()) {}

void RegistryScan::ScanAutorunKey(const ScanKey& scan_key) {
  ScanViews(scan_key);
  host_.ShowBalloon();
}

void RegistryScan::ScanOtherPlaces() {
  WithWatchStopped([this] {
    for (const ScanKey& key : kOtherKeys)
      for (const KeyView& view : ViewsOf(key, platform_.registry)) ScanView(key, view);
    for (const StartupPlace& place : kStartupPlaces) ScanStartupFolder(place);
  });
}

void RegistryScan::ScanViews(const ScanKey& scan_key) {
  WithWatchStopped([&] {
    for (const KeyView& view : ViewsOf(scan_key, platform_.registry)) ScanView(scan_key, view);
  });
}

void RegistryScan::WithWatchStopped(const std::function<void()>& scan) {
  host_.ShowScanPage();
  WatchPause pause(host_.Watch(), WatchAfter::Scan);
  host_.Pump();
  scan();
}

void RegistryScan::ScanView(const ScanKey& scan_key, const KeyView& view) {
  if (host_.Ending()) return;
  // Read only: a key is opened for writing at the moment something in it is
  // deleted.
  AutorunKey opened = OpenAutorunKey(platform_.registry, scan_key.root, scan_key.path, view.view);
  if (opened.status == KeyOpen::Refused || opened.status == KeyOpen::Failed)
    host_.Refused(KeyText(scan_key.root, scan_key.path, view.view), Refusal::Read);
  // The names are taken once: values added during the scan wait for the next.
  std::vector<std::string> names;
  if (opened.key) {
    if (scan_key.entries == Entries::EveryValue)
      names = opened.key->ValueNames();
    else
      names = {std::string(scan_key.value)};
  }

  const int count = int(names.size());
  for (int i = 0; i < count; ++i) {
    host_.Pump();
    if (host_.Ending()) break;
    host_.Progress(i, count - 1);
    long_read_.reset();
    if (MatchWhiteList(*opened.key, names[i], scan_key) == Match::New) AskUser(*opened.key, names[i], scan_key, view);
  }
  long_read_.reset();
}

void RegistryScan::FullRegistryScan() {
  for (const ScanKey& key : kScanKeys) ScanAutorunKey(key);
  ScanOtherPlaces();
  host_.ShowBalloon("Full registry scan complete");
}

void RegistryScan::ScanStartupFolder(const StartupPlace& place) {
  if (host_.Ending()) return;
  // A folder that is not there holds nothing.
  const std::optional<std::string> folder = platform_.shell.StartupFolderPath(place.folder);
  if (!folder) return;
  const platform::FolderList files = platform_.files.ListFiles(*folder);
  // One that cannot be listed may hide anything.
  if (files.status == platform::ListStatus::Failed) host_.Refused(*folder, Refusal::ListFolder);
  const int count = int(files.names.size());
  for (int i = 0; i < count; ++i) {
    host_.Pump();
    if (host_.Ending()) break;
    host_.Progress(i, count - 1);
    const std::string& name = files.names[i];
    if (IsFolderSettings(name)) continue;
    const std::string path = *folder + "\\" + name;
    const std::string command = StartupCommand(platform_.shell, path);
    if (!IsOwnCommand(command, own_path_) && !OnWhiteList(command)) AskAboutFile(place, path, name, command);
  }
}

RegistryScan::Match RegistryScan::MatchWhiteList(platform::RegistryKey& key, const std::string& name,
                                                 const ScanKey& scan_key) {
  // UTF-16 with a NUL: more characters than a slot returns cannot match,
  // and such a value is read only as far as it has to be.
  constexpr uint64_t kSlotBytes = (IniStore::kMaxRead + 1) * 2;
  std::optional<platform::ValueUpTo> read = key.ReadUpTo(name, kSlotBytes);
  // A value that is gone or not text is no command line to judge.
  if (!read || !read->info.IsText()) return Match::Gone;
  if (!read->value) return MatchLongValue(key, name, read->info);
  std::optional<std::string> data = TextBeforeNul(std::move(*read->value));
  if (!data) return Match::Gone;
  if (scan_key.entries == Entries::OneValue && data->empty()) return Match::Gone;
  if (scan_key.entries == Entries::NotWindowsOwn &&
      IsWindowsOwn(scan_key, *data, platform_.processes.WindowsFolder(), platform_.processes.SystemFolder()))
    return Match::Known;
  if (IsOwnCommand(*data, own_path_) || OnWhiteList(*data)) return Match::Known;
  return Match::New;
}

RegistryScan::Match RegistryScan::MatchLongValue(platform::RegistryKey& key, const std::string& name,
                                                 const platform::ValueInfo& info) {
  std::optional<AutorunCommand> command = ReadCommand(key, name);
  if (!command) return Match::Gone;
  long_read_ = LongRead{name, info, *command};
  const std::string& data = command->text;
  if (platform::Utf16Units(data) > IniStore::kMaxRead) return Match::New;
  return OnWhiteList(data) ? Match::Known : Match::New;
}

bool RegistryScan::OnWhiteList(const std::string& data) {
  if (!policy_allowed_) policy_allowed_ = policy::ReadEntries(host_, policy::kAllowedKey);
  if (std::find(policy_allowed_->begin(), policy_allowed_->end(), data) != policy_allowed_->end()) return true;
  IniStore& white = host_.Data().white_list;
  IniStore::Batch batch(white);
  if (const uint64_t version = white.Version(); version != white_list_version_) {
    white_list_ = ReadSlots(white, white_list::kCommand, white_list::kLastSlot);
    white_list_version_ = version;
  }
  return std::find(white_list_.begin(), white_list_.end(), data) != white_list_.end();
}

std::optional<AutorunCommand> RegistryScan::ReadForAlert(platform::RegistryKey& key, const std::string& name) {
  std::optional<LongRead> earlier = std::move(long_read_);
  long_read_.reset();
  if (earlier && earlier->name == name) {
    std::optional<platform::ValueInfo> now = key.Info(name);
    if (now && now->type == earlier->info.type && now->size == earlier->info.size) return std::move(earlier->command);
  }
  return ReadCommand(key, name);
}

void RegistryScan::AskAndAct(std::string_view section_text, const std::string& name, const AutorunCommand& command,
                             std::string_view place, platform::RegView view, const std::function<bool()>& remove) {
  // What the user is asked about and what is acted on: the command as read,
  // whatever the alert shows of it.
  const std::string& data = command.text;
  const std::vector<std::string> logged{std::string(section_text), ShownName(name), data};
  host_.Log(events::kAutostartFound, logged);
  CommandParts parts = SplitCommandLine(platform::CutToUtf16Units(data, kShownChars));
  const Decision decision =
      host_.Ask({std::string(section_text), ShownName(name), ShownCommand(command), parts.path, parts.name});
  host_.Pump();

  if (decision.answer == Answer::Delete) {
    const bool removed = remove();
    if (decision.ticked) host_.BlockProgram(data);
    if (removed) host_.Log(decision.ticked ? events::kAutostartDeletedAndForbidden : events::kAutostartDeleted, logged);
  } else if (decision.answer == Answer::Allow) {
    // What the user saw and allowed, even if the entry changed meanwhile.
    Allow(name, data, place, view);
    host_.Log(events::kAutostartAllowed, logged);
  } else if (!host_.Ending()) {
    host_.Warn(std::string(kLostAnswer));
  }
}

void RegistryScan::AskUser(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key,
                          const KeyView& view) {
  host_.Pump();
  std::optional<AutorunCommand> command = ReadForAlert(key, name);
  if (!command || host_.Ending() || IsOwnCommand(command->text, own_path_)) return;
  AskAndAct(view.section_text, name, *command, scan_key.IsRunKey() ? std::string_view() : view.section_text,
            view.view, [&] { return Delete(key, name, command->text, scan_key, view.view); });
}

void RegistryScan::AskAboutFile(const StartupPlace& place, const std::string& path, const std::string& name,
                                const std::string& command) {
  AskAndAct(place.section_text, name, AutorunCommand{command}, place.section_text, platform::RegView::Native, [&] {
    // Only the file the person was shown goes: it may have been replaced meanwhile.
    if (!platform_.files.Exists(path) || StartupCommand(platform_.shell, path) != command) {
      NotDeletedChanged(path);
      return false;
    }
    if (!host_.MoveToTrashcan(path)) return false;
    host_.Say(std::string(kTrashed));
    return true;
  });
}

void RegistryScan::NotDeletedChanged(const std::string& entry) {
  host_.Warn(std::string(kNotDeletedChanged));
  host_.Log(events::kRefusedToAct, {entry});
}

bool RegistryScan::Delete(platform::RegistryKey& key, const std::string& name, const std::string& shown,
                          const ScanKey& scan_key, platform::RegView view) {
  const std::string key_text = KeyText(scan_key.root, scan_key.path, view);
  const std::string entry = ShownName(name) + " in " + key_text;
  // Only what the person was shown goes: another program may have changed
  // or deleted the value meanwhile.
  std::optional<AutorunCommand> now = ReadCommand(key, name);
  if (!now || now->text != shown) {
    NotDeletedChanged(entry);
    return false;
  }
  AutorunKey writable = OpenAutorunKey(platform_.registry, scan_key.root, scan_key.path, view, platform::Access::ReadWrite);
  if (writable.status == KeyOpen::Missing) {
    NotDeletedChanged(entry);
    return false;
  }
  if (!writable.key) {
    host_.Refused(key_text, Refusal::Delete);
    return false;
  }
  const RemovedEntry removed{scan_key.root, std::string(scan_key.path), view, name, platform::ValueType(now->type),
                             now->text};
  Recorded recorded{RecordResult::NotStorable};
  // Data after a NUL cannot be kept in the list, nor written back.
  if (!now->more_after_nul) recorded = RecordRemoval(host_.Data().statistics, removed);
  if (recorded.result != RecordResult::Recorded)
    host_.Warn(std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  if (scan_key.entries == Entries::NotWindowsOwn) {
    // Windows cannot log on without its own shell and Userinit.
    const std::string own = WindowsOwnData(scan_key, platform_.processes.SystemFolder());
    if (own.empty() ? writable.key->DeleteValue(name) : writable.key->WriteText(name, own)) return true;
  } else if (writable.key->DeleteValue(name)) {
    return true;
  }
  // Not deleted: its record would only offer to write it over itself.
  if (recorded.slot >= 0) EraseRemoval(host_.Data().statistics, recorded.slot, removed);
  if (writable.key->Info(name))
    host_.Refused(key_text, Refusal::Delete);  // still there: asked about again next time
  else
    NotDeletedChanged(entry);
  return false;
}

void RegistryScan::Allow(const std::string& name, const std::string& data, std::string_view place,
                         platform::RegView view) {
  if (!FitsInList(name) || !FitsInList(data)) {
    host_.Warn(std::string(kNotStorable));
    return;
  }
  IniStore& white = host_.Data().white_list;
  {
    IniStore::Change change(white);
    const int slot = FindFreeSlot(white, white_list::kCommand, white_list::kLastSlot);
    if (slot >= 0) {
      const std::string number = std::to_string(slot);
      // The 32-bit view is told apart by a key of its own. Matching reads
      // neither, so an entry allowed in one view is known in the other too.
      using namespace white_list;
      const std::string shown_name = ShownName(name);
      SlotKeys keys{{kNumber, number}, {kName, shown_name}, {kSection, "HKLM_run"}};
      // The other places are told apart by their section text.
      if (!place.empty()) keys.push_back({kPlace, place});
      if (view == platform::RegView::Wow32) keys.push_back({kView, "32-bit"});
      keys.push_back({kCommand, data});
      WriteSlot(white, slot, keys);
      return;
    }
  }
  host_.Warn(std::string(kWhiteListFull));
}

}  // namespace registry
