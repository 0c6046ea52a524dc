#include "registry/scan.h"

#include <algorithm>
#include <chrono>
#include <thread>
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
    : host_(context),
      platform_(context.Platform()),
      own_path_(platform_.system.ExePath()),
      baseline_(context.Data().baseline),
      programs_(
          platform_, [this] { return BoundFiles(); }, [this](const std::string& text) { host_.Notice(text); }) {}

void RegistryScan::ScanAutorunKey(const ScanKey& scan_key) {
  ScanViews(scan_key);
  host_.ShowBalloon();
}

void RegistryScan::ScanOtherPlaces() {
  WithWatchStopped([this] {
    for (const ScanKey& key : kOtherKeys)
      for (const KeyView& view : ViewsOf(key, platform_.registry)) ScanView(key, view);
    for (const StartupPlace& place : kStartupPlaces) ScanStartupFolder(place);
    ScanDoor(Door::Tasks, false);
    ScanDoor(Door::Services, false);
    ScanHijacks();
  });
}

void RegistryScan::ScanQuietly(Door door) { ScanDoor(door, true); }

void RegistryScan::ScanHijacksQuietly(const std::vector<platform::KeyLocation>& changed) {
  quiet_ = true;
  ScanHijacks(&changed);
}

void RegistryScan::ScanHijacks(const std::vector<platform::KeyLocation>* changed) {
  for (const ScanKey& key : kHijackKeys)
    for (const KeyView& view : ViewsOf(key, platform_.registry))
      if (!changed || std::find(changed->begin(), changed->end(),
                                platform::KeyLocation{key.root, std::string(key.path), view.view}) != changed->end())
        ScanView(key, view);
}

void RegistryScan::Progress(int position, int max) {
  if (!quiet_) host_.Progress(position, max);
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
  if (scan_key.entries == Entries::EachSubkey) return ScanSubkeys(scan_key, view);
  if (scan_key.entries == Entries::EachLine) return ScanLines(scan_key, view);
  if (scan_key.entries == Entries::ClassOverride) return ScanOverride(scan_key, view);
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
    Progress(i, count - 1);
    long_read_.reset();
    const std::string_view place = scan_key.IsRunKey() ? std::string_view() : view.section_text;
    const std::optional<Standing> standing = MatchWhiteList(*opened.key, names[i], scan_key, place);
    if (standing && standing->kind != Standing::Known)
      AskUser(*opened.key, names[i], scan_key, view, *standing, scan_key.path, names[i]);
  }
  long_read_.reset();
}

void RegistryScan::ScanSubkeys(const ScanKey& scan_key, const KeyView& view) {
  const std::string_view place = view.section_text;
  // Its first scan writes the machine's baseline, which only an
  // administrator's copy may.
  if (scan_key.starts_known && !platform_.system.HasAdminRights()) return;
  AutorunKey parent = OpenAutorunKey(platform_.registry, scan_key.root, scan_key.path, view.view);
  if (parent.status == KeyOpen::Refused || parent.status == KeyOpen::Failed) {
    host_.Refused(KeyText(scan_key.root, scan_key.path, view.view), Refusal::Read);
    return;
  }
  // A key that is not there holds nothing, also for a first scan.
  const std::vector<std::string> subkeys = parent.key ? parent.key->SubkeyNames() : std::vector<std::string>();
  const std::string value(scan_key.value);
  struct Found {
    std::string path, name;
    std::unique_ptr<platform::RegistryKey> key;
  };
  std::vector<Found> found;
  const std::vector<std::string_view> tails = TailsOf(scan_key);
  for (const std::string& subkey : subkeys) {
    for (std::string_view tail : tails) {
      const std::string path =
          std::string(scan_key.path) + "\\" + subkey + (tail.empty() ? "" : "\\" + std::string(tail));
      AutorunKey opened = OpenAutorunKey(platform_.registry, scan_key.root, path, view.view);
      if (opened.status == KeyOpen::Refused || opened.status == KeyOpen::Failed)
        host_.Refused(KeyText(scan_key.root, path, view.view), Refusal::Read);
      if (!opened.key) continue;
      std::string name = subkey;
      if (!tail.empty()) name += " (" + std::string(tail) + ")";
      if (scan_key.titled)
        if (std::optional<AutorunCommand> title = ReadCommand(*opened.key, ""); title && !title->text.empty())
          name += " (" + title->text + ")";
      found.push_back({path, std::move(name), std::move(opened.key)});
    }
  }
  const std::string sid = scan_key.per_person ? platform_.system.UserSid().value_or("") : std::string();
  if (scan_key.starts_known && !baseline_.FirstScanMade(place, sid)) {
    std::vector<KnownEntry> known;
    for (const Found& f : found)
      if (std::optional<AutorunCommand> command = ReadCommand(*f.key, value); command && !command->text.empty())
        known.push_back({f.name, command->text, programs_.Take(command->text)});
    if (baseline_.TakeFirstScan(place, known, sid))
      for (const KnownEntry& e : known) host_.Log(events::kAutostartTakenAsKnown, {std::string(place), e.name, e.command});
    return;
  }
  // The value read once and judged as read (the alert reads it again);
  // nothing when it is empty or gone.
  auto judge = [&](Found& f) -> std::optional<Standing> {
    constexpr uint64_t kSlotBytes = (IniStore::kMaxRead + 1) * 2;
    std::optional<platform::ValueUpTo> read = f.key->ReadUpTo(value, kSlotBytes);
    if (!read || !read->info.IsText()) return std::nullopt;
    if (!read->value) return Standing{};  // longer than any list holds
    const std::optional<std::string> data = TextBeforeNul(std::move(*read->value));
    if (!data || data->empty()) return std::nullopt;
    if (IsOwnCommand(*data, own_path_)) return Standing{Standing::Known, {}, {}};
    Standing standing = Judge(*data, place);
    if (standing.kind == Standing::New && scan_key.starts_known)
      if (std::optional<BaselineRecord> record = baseline_.Find(place, f.name, *data, sid))
        standing = Checked({Standing::Known, std::nullopt, record->section}, record->file, place, f.name, *data);
    return standing;
  };
  // Hundreds of entries, nearly all known: judged in one look at the lists,
  // without serving the window in between.
  std::vector<Found*> unknown;
  {
    IniStore::Batch white(host_.Data().white_list), known(host_.Data().baseline);
    for (Found& f : found)
      if (std::optional<Standing> standing = judge(f); standing && standing->kind != Standing::Known)
        unknown.push_back(&f);
  }
  const int count = int(unknown.size());
  for (int i = 0; i < count; ++i) {
    host_.Pump();
    if (host_.Ending()) break;
    Progress(i, count - 1);
    Found& f = *unknown[size_t(i)];
    // An earlier answer of this scan may have allowed it.
    if (std::optional<Standing> standing = judge(f); standing && standing->kind != Standing::Known)
      AskUser(*f.key, value, scan_key, view, *standing, f.path, f.name);
  }
}

void RegistryScan::ScanLines(const ScanKey& scan_key, const KeyView& view) {
  AutorunKey opened = OpenAutorunKey(platform_.registry, scan_key.root, scan_key.path, view.view);
  if (opened.status == KeyOpen::Refused || opened.status == KeyOpen::Failed)
    host_.Refused(KeyText(scan_key.root, scan_key.path, view.view), Refusal::Read);
  if (!opened.key) return;
  const std::string name(scan_key.value);
  const std::optional<platform::RegValue> value = opened.key->Read(name);
  if (!value || value->type != uint32_t(platform::ValueType::MultiSz)) return;
  std::vector<std::string> lines;
  for (std::string_view line : MultiLines(value->data))
    if (!IsWindowsOwnBootLine(line)) lines.emplace_back(line);
  const int count = int(lines.size());
  for (int i = 0; i < count; ++i) {
    host_.Pump();
    if (host_.Ending()) break;
    Progress(i, count - 1);
    const std::string& line = lines[size_t(i)];
    // A native program, which starts before any check of a file could: it
    // is known by its line alone.
    const Standing standing = Judge(line, view.section_text, false);
    if (standing.kind == Standing::Known) continue;
    Acts acts;
    acts.remove = [&] { return DeleteLine(scan_key, view.view, line); };
    acts.allow = [&] { Allow(name, line, view.section_text, view.view, false); };
    acts.no_facts = kNotChecked;
    AskAndAct(view.section_text, name, AutorunCommand{line}, acts, standing);
  }
}

bool RegistryScan::DeleteLine(const ScanKey& scan_key, platform::RegView view, const std::string& line) {
  const std::string name(scan_key.value);
  const std::string key_text = KeyText(scan_key.root, scan_key.path, view);
  const std::string entry = name + " in " + key_text;
  const std::unique_ptr<platform::RegistryKey> writable = OpenToDelete(scan_key, scan_key.path, view, entry);
  if (!writable) return false;
  // Only while the value still holds the line: the first such line goes.
  const std::optional<platform::RegValue> now = writable->Read(name);
  const std::vector<std::string_view> lines =
      now && now->type == uint32_t(platform::ValueType::MultiSz) ? MultiLines(now->data) : std::vector<std::string_view>();
  const auto at = std::find(lines.begin(), lines.end(), line);
  if (at == lines.end()) {
    NotDeletedChanged(entry);
    return false;
  }
  const size_t index = size_t(at - lines.begin());
  std::string shown = line;
  std::replace_if(shown.begin(), shown.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  RemovedEntry removed{scan_key.root, std::string(scan_key.path), view, name, platform::ValueType::MultiSz, line, shown,
                       -1, std::nullopt};
  IniStore& statistics = host_.Data().statistics;
  const Recorded recorded = RecordLineRemoval(statistics, removed, index);
  if (recorded.result != RecordResult::Recorded)
    host_.Warn(std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  if (writable->WriteMultiText(name, WithoutLine(now->data, index))) return true;
  if (recorded.slot >= 0) {
    removed.position = ReadRemovalSlot(statistics, recorded.slot).entry.position;
    EraseRemoval(statistics, recorded.slot, removed);
  }
  host_.Refused(key_text, Refusal::Delete);
  return false;
}

RegistryScan::Override RegistryScan::ReadOverride(platform::RegistryKey& key) {
  return {ReadCommand(key, ""), ReadCommand(key, std::string(kDelegateExecute))};
}

void RegistryScan::ScanOverride(const ScanKey& scan_key, const KeyView& view) {
  AutorunKey opened = OpenAutorunKey(platform_.registry, scan_key.root, scan_key.path, view.view);
  if (opened.status == KeyOpen::Refused || opened.status == KeyOpen::Failed)
    host_.Refused(KeyText(scan_key.root, scan_key.path, view.view), Refusal::Read);
  if (!opened.key) return;
  const Override found = ReadOverride(*opened.key);
  opened.key.reset();
  const Standing standing = Judge(scan_key, found);
  if (standing.kind == Standing::Known) return;
  host_.Pump();
  if (host_.Ending()) return;
  const std::string place(scan_key.section_text), name(scan_key.value);
  const std::string command = found.Command(), match = found.Match();
  Acts acts;
  acts.remove = [&] { return DeleteOverride(scan_key, found); };
  // Known by its values, never by a command on the white list: the same
  // values under another kind are another override.
  acts.allow = [&] { baseline_.Add(place, {name, match, programs_.Take(command)}); };
  acts.program = command;
  acts.known_as = match;
  if (command.empty())
    acts.no_facts = kNoCommand;
  else
    acts.forbidden = command;
  AutorunCommand shown{found.Shown()};
  if (found.command) shown.more_after_nul = found.command->more_after_nul;
  AskAndAct(place, name, shown, acts, standing);
}

RegistryScan::Standing RegistryScan::Judge(const ScanKey& scan_key, const Override& found) {
  const std::string place(scan_key.section_text), name(scan_key.value);
  const std::string command = found.Command(), match = found.Match();
  const std::optional<BaselineRecord> record = baseline_.Find(place, name, match);
  if (!record) return {};
  return Checked({Standing::Known, std::nullopt, record->section}, record->file, place, name, match, &command);
}

bool RegistryScan::DeleteOverride(const ScanKey& scan_key, const Override& shown) {
  const std::string key_text = KeyText(scan_key.root, scan_key.path, platform::RegView::Native);
  const std::string entry = std::string(scan_key.value) + " in " + key_text;
  std::unique_ptr<platform::RegistryKey> writable = OpenToDelete(scan_key, scan_key.path, platform::RegView::Native, entry);
  if (!writable) return false;
  if (!(ReadOverride(*writable) == shown)) {
    NotDeletedChanged(entry);
    return false;
  }
  // Both values as one record: the default value first, when there is one.
  std::vector<RemovedValue> values;
  if (shown.command)
    values.push_back({"", platform::ValueType(shown.command->type), shown.command->text});
  if (shown.delegate)
    values.push_back({std::string(kDelegateExecute), platform::ValueType(shown.delegate->type), shown.delegate->text});
  IniStore& statistics = host_.Data().statistics;
  std::optional<RemovedEntry> removed;
  Recorded recorded{RecordResult::NotStorable};
  if (!values.empty()) {
    removed = RemovedEntry{scan_key.root, std::string(scan_key.path), platform::RegView::Native, values[0].name,
                           values[0].type, values[0].data,
                           std::string(scan_key.value) + ": " + shown.Shown(), -1, std::nullopt};
    if (values.size() > 1) removed->also = values[1];
    // Data after a NUL cannot be kept in the list, nor written back.
    const bool cut = (shown.command && shown.command->more_after_nul) || (shown.delegate && shown.delegate->more_after_nul);
    if (!cut) recorded = RecordRemoval(statistics, *removed);
    if (recorded.result != RecordResult::Recorded)
      host_.Warn(std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  }
  size_t deleted = 0;
  for (const RemovedValue& value : values) deleted += writable->DeleteValue(value.name) ? 1 : 0;
  if (deleted == values.size()) {
    // A key left empty would still hide the machine's command for the kind.
    const bool empty = writable->ValueNames().empty() && writable->SubkeyNames().empty();
    writable.reset();
    const std::string_view path = scan_key.path;
    if (empty)
      if (std::unique_ptr<platform::RegistryKey> parent = platform_.registry.Open(
              scan_key.root, std::string(path.substr(0, path.rfind('\\'))), platform::Access::ReadWrite))
        parent->DeleteSubkey(std::string(path.substr(path.rfind('\\') + 1)));
    return true;
  }
  // A record of which a value did go stays, to put it back.
  if (recorded.slot >= 0 && deleted == 0) EraseRemoval(statistics, recorded.slot, *removed);
  host_.Refused(key_text, Refusal::Delete);
  return false;
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
    Progress(i, count - 1);
    const std::string& name = files.names[i];
    if (IsFolderSettings(name)) continue;
    const std::string path = *folder + "\\" + name;
    const std::string command = StartupCommand(platform_.shell, path);
    if (IsOwnCommand(command, own_path_)) continue;
    const Standing standing = Judge(command, place.section_text);
    if (standing.kind != Standing::Known) AskAboutFile(place, path, name, command, standing);
  }
}

std::optional<RegistryScan::Standing> RegistryScan::MatchWhiteList(platform::RegistryKey& key, const std::string& name,
                                                                   const ScanKey& scan_key, std::string_view place) {
  // UTF-16 with a NUL: more characters than a slot returns cannot match,
  // and such a value is read only as far as it has to be.
  constexpr uint64_t kSlotBytes = (IniStore::kMaxRead + 1) * 2;
  std::optional<platform::ValueUpTo> read = key.ReadUpTo(name, kSlotBytes);
  // A value that is gone or not text is no command line to judge.
  if (!read || !read->info.IsText()) return std::nullopt;
  if (!read->value) return MatchLongValue(key, name, read->info, place);
  std::optional<std::string> data = TextBeforeNul(std::move(*read->value));
  if (!data) return std::nullopt;
  if (scan_key.entries != Entries::EveryValue && scan_key.entries != Entries::NotWindowsOwn && data->empty())
    return std::nullopt;
  if (scan_key.entries == Entries::NotWindowsOwn &&
      IsWindowsOwn(scan_key, *data, platform_.processes.WindowsFolder(), platform_.processes.SystemFolder()))
    return Standing{Standing::Known, {}, {}};
  if (IsOwnCommand(*data, own_path_)) return Standing{Standing::Known, {}, {}};
  return Judge(*data, place);
}

std::optional<RegistryScan::Standing> RegistryScan::MatchLongValue(platform::RegistryKey& key, const std::string& name,
                                                                   const platform::ValueInfo& info,
                                                                   std::string_view place) {
  std::optional<AutorunCommand> command = ReadCommand(key, name);
  if (!command) return std::nullopt;
  long_read_ = LongRead{name, info, *command};
  const std::string& data = command->text;
  if (platform::Utf16Units(data) > IniStore::kMaxRead) return Standing{};
  return Judge(data, place);
}

RegistryScan::Standing RegistryScan::Judge(const std::string& data, std::string_view place, bool binds) {
  // The administrator's policy names commands, not files: nothing to bind.
  if (!policy_allowed_) policy_allowed_ = policy::ReadEntries(host_, policy::kAllowedKey);
  if (std::find(policy_allowed_->begin(), policy_allowed_->end(), data) != policy_allowed_->end())
    return {Standing::Known, {}, {}};
  const int slot = SlotOf(data, place);
  if (slot < 0) return {};
  if (!binds) return {Standing::Known, slot, {}};
  // A copy: the check may read the list anew.
  const BoundFile file = white_list_[size_t(slot)].file;
  return Checked({Standing::Known, slot, {}}, file, place, {}, data);
}

void RegistryScan::ReadWhiteList() {
  IniStore& white = host_.Data().white_list;
  IniStore::Batch batch(white);
  const uint64_t version = white.Version();
  if (version == white_list_version_) return;
  white_list_.assign(size_t(white_list::kLastSlot) + 1, WhiteSlot{});
  for (int n = 0; n <= white_list::kLastSlot; ++n) {
    const std::string section = std::to_string(n);
    WhiteSlot& slot = white_list_[size_t(n)];
    slot.command = white.Find(section, white_list::kCommand);
    if (!slot.command) continue;
    slot.place = white.Find(section, white_list::kPlace).value_or("");
    slot.file = ReadBound(white, section, bound::kHash);
  }
  white_list_version_ = version;
}

int RegistryScan::SlotOf(const std::string& data, std::string_view place) {
  ReadWhiteList();
  // Matching ignores the place, so an entry allowed in one place is known in
  // every other; the slot of its own place is the one it is bound through.
  int any = -1;
  for (int n = 0; n < int(white_list_.size()); ++n) {
    const WhiteSlot& slot = white_list_[size_t(n)];
    if (slot.command != data) continue;
    if (slot.place == place) return n;
    if (any < 0) any = n;
  }
  return any;
}

RegistryScan::Standing RegistryScan::Checked(Standing standing, const BoundFile& file, std::string_view place,
                                             const std::string& name, const std::string& command,
                                             const std::string* program) {
  const ProgramCheck::Result result = programs_.Check(program ? *program : command, file);
  if (result.verdict == ProgramCheck::Verdict::Changed) standing.kind = Standing::Changed;
  if (result.verdict == ProgramCheck::Verdict::Record) {
    // Written at the next scan when it cannot be now.
    try {
      Rebind(standing, place, name, command, result.now);
    } catch (const WriteError&) {
    }
  }
  return standing;
}

void RegistryScan::Rebind(const Standing& standing, std::string_view place, const std::string& name,
                          const std::string& command, const std::optional<BoundFile>& file) {
  if (!file) return;
  if (standing.slot) BindSlot(*standing.slot, command, *file);
  if (standing.baseline) baseline_.Bind(*standing.baseline, place, {name, command, file});
}

void RegistryScan::BindSlot(int slot, const std::string& command, const BoundFile& file) {
  IniStore& white = host_.Data().white_list;
  IniStore::Change change(white);
  // Only while the slot still allows that command: another copy may have
  // taken it meanwhile.
  if (ReadSlot(white, slot, white_list::kCommand) != command) return;
  std::vector<std::string> texts;
  WriteSlot(white, slot, BoundKeys(file, bound::kHash, texts));
}

int RegistryScan::BoundFiles() {
  ReadWhiteList();
  const int slots =
      int(std::count_if(white_list_.begin(), white_list_.end(), [](const WhiteSlot& s) { return IsBound(s.file); }));
  return slots + baseline_.BoundCount();
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
                             const Acts& acts, const Standing& standing) {
  const bool changed = standing.kind == Standing::Changed;
  // What the user is asked about and what is acted on: the command as read,
  // whatever the alert shows of it.
  const std::string& data = command.text;
  const std::vector<std::string> logged{std::string(section_text), ShownName(name), data};
  // The finding is logged with the facts of its program once they are
  // found, or when their time is up, and before anything the person decides.
  const std::string& program = acts.program ? *acts.program : data;
  std::shared_ptr<FactsRequest> facts;
  if (acts.no_facts.empty()) {
    facts = host_.FindFacts(program);
  } else {
    facts = std::make_shared<FactsRequest>();
    const std::string text(acts.no_facts);
    facts->facts = {text, text, text};
    facts->found = true;
  }
  bool found_logged = false;
  auto log_found = [&] {
    if (found_logged) return;
    found_logged = true;
    std::vector<std::string> strings = logged;
    strings.push_back(facts->facts.company);
    strings.push_back(facts->facts.signature);
    host_.Log(changed ? events::kAllowedProgramChanged : events::kAutostartFound, strings);
  };
  if (facts->found)
    log_found();
  else
    facts->on_settled = log_found;
  CommandParts parts = SplitCommandLine(platform::CutToUtf16Units(program, kShownChars));
  Question question{std::string(section_text), ShownName(name), ShownCommand(command), parts.path, parts.name};
  question.confirmation = acts.confirmation;
  question.facts = facts;
  question.program_changed = changed;
  const Decision decision = host_.Ask(question);
  while (!found_logged && !facts->found && std::chrono::steady_clock::now() < facts->asked + FactsRequest::kWait &&
         !host_.Ending()) {
    host_.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  log_found();
  facts->on_settled = nullptr;
  host_.Pump();

  if (decision.answer == Answer::Delete) {
    const bool removed = acts.remove();
    if (decision.ticked) host_.BlockProgram(acts.forbidden.empty() ? data : acts.forbidden);
    if (removed)
      host_.Log(decision.ticked && acts.removed.id == events::kAutostartDeleted.id ? events::kAutostartDeletedAndForbidden
                                                                                   : acts.removed,
                logged);
  } else if (decision.answer == Answer::Allow) {
    // What the user saw and allowed, even if the entry changed meanwhile;
    // a changed program in the record that knew it.
    if (changed)
      Rebind(standing, section_text, name, acts.known_as ? *acts.known_as : data, programs_.Take(program));
    else
      acts.allow();
    host_.Log(events::kAutostartAllowed, logged);
  } else if (!host_.Ending()) {
    host_.Warn(std::string(kLostAnswer));
  }
}

void RegistryScan::AskUser(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key,
                          const KeyView& view, const Standing& standing, std::string_view path,
                          const std::string& shown_name) {
  host_.Pump();
  std::optional<AutorunCommand> command = ReadForAlert(key, name);
  if (!command || host_.Ending() || IsOwnCommand(command->text, own_path_)) return;
  const std::string_view place = scan_key.IsRunKey() ? std::string_view() : view.section_text;
  AskAndAct(view.section_text, shown_name, *command,
            {.remove = [&] { return Delete(key, name, command->text, scan_key, view.view, path); },
             .allow = [&] { Allow(shown_name, command->text, place, view.view); }},
            standing);
}

void RegistryScan::AskAboutFile(const StartupPlace& place, const std::string& path, const std::string& name,
                                const std::string& command, const Standing& standing) {
  auto remove = [&] {
    // Only the file the person was shown goes: it may have been replaced meanwhile.
    if (!platform_.files.Exists(path) || StartupCommand(platform_.shell, path) != command) {
      NotDeletedChanged(path);
      return false;
    }
    if (!host_.MoveToTrashcan(path)) return false;
    host_.Say(std::string(kTrashed));
    return true;
  };
  AskAndAct(place.section_text, name, AutorunCommand{command},
            {.remove = remove, .allow = [&] { Allow(name, command, place.section_text, platform::RegView::Native); }},
            standing);
}

// ---- Scheduled tasks and services

namespace {

// The program's own log-on task, named after the person's SID (or, from
// older versions, plainly), which starts this program and nothing else.
bool IsOwnTask(const DoorEntry& entry, std::string_view own_path) {
  const std::string_view path = entry.task_path;
  return (path == "\\Veltrane" || (path.starts_with("\\Veltrane ") && path.find('\\', 1) == std::string_view::npos)) &&
         entry.real_command && IsOwnCommand(entry.command, own_path);
}

}  // namespace

void RegistryScan::ScanDoor(Door door, bool quiet) {
  if (host_.Ending()) return;
  // Without an administrator's rights not every task can be read, nor any
  // service changed.
  if (!platform_.system.HasAdminRights()) {
    host_.Notice(std::string(kAdminOnly));
    return;
  }
  const std::string_view place = SectionText(door);
  std::vector<DoorEntry> entries = ReadDoor(door);
  std::erase_if(entries, [&](const DoorEntry& e) { return door == Door::Tasks && IsOwnTask(e, own_path_); });
  if (!baseline_.FirstScanMade(place)) {
    // Each entry bound to its program as it is now.
    std::vector<KnownEntry> known;
    for (const DoorEntry& e : entries) {
      host_.Pump();
      if (host_.Ending()) return;
      known.push_back(KnownEntry{e.name, e.command, e.real_command ? programs_.Take(e.command) : std::nullopt});
    }
    if (baseline_.TakeFirstScan(place, known))
      for (const KnownEntry& e : known) host_.Log(events::kAutostartTakenAsKnown, {std::string(place), e.name, e.command});
    return;
  }
  // Hundreds of entries, nearly all known: judged in one look at the lists,
  // without serving the window in between.
  std::vector<const DoorEntry*> unknown;
  {
    IniStore::Batch white(host_.Data().white_list), known(host_.Data().baseline);
    for (const DoorEntry& e : entries)
      if (Judge(door, e).kind != Standing::Known) unknown.push_back(&e);
  }
  const int count = int(unknown.size());
  for (int i = 0; i < count; ++i) {
    host_.Pump();
    if (host_.Ending()) break;
    if (!quiet) host_.Progress(i, count - 1);
    // An earlier answer of this scan may have allowed it.
    const Standing standing = Judge(door, *unknown[size_t(i)]);
    if (standing.kind != Standing::Known) AskAboutDoorEntry(door, *unknown[size_t(i)], standing);
  }
}

std::vector<DoorEntry> RegistryScan::ReadDoor(Door door) {
  if (door == Door::Services) {
    std::optional<std::vector<DoorEntry>> services = ReadServices(platform_.registry);
    if (!services) {
      host_.Refused(KeyText(platform::RootKey::LocalMachine, kServicesPath, platform::RegView::Native), Refusal::Read);
      return {};
    }
    return std::move(*services);
  }
  TaskScan tasks = ReadTasks(platform_.files, platform_.tasks);
  if (tasks.tree.cut_at) host_.Notice(CutText(*tasks.tree.cut_at));
  if (tasks.tree.unlistable) host_.Refused(*tasks.tree.unlistable, Refusal::ListFolder);
  return std::move(tasks.entries);
}

RegistryScan::Standing RegistryScan::Judge(Door door, const DoorEntry& entry) {
  const std::string_view place = SectionText(door);
  // An entry without a real command is known only as itself, never by a text
  // that every such entry shares; it names no program to bind.
  if (entry.real_command)
    if (Standing standing = Judge(entry.command, place); standing.kind != Standing::New) return standing;
  const std::optional<BaselineRecord> record = baseline_.Find(place, entry.name, entry.command);
  if (!record) return {};
  if (!entry.real_command) return {Standing::Known, {}, {}};
  return Checked({Standing::Known, std::nullopt, record->section}, record->file, place, entry.name, entry.command);
}

void RegistryScan::AskAboutDoorEntry(Door door, const DoorEntry& entry, const Standing& standing) {
  // A task that changed since it was read (another of its actions deleted
  // it) is seen as it is by the next scan.
  if (door == Door::Tasks && platform_.files.ReadAll(entry.file) != entry.bytes) return;
  const std::string_view place = SectionText(door);
  Acts acts;
  acts.allow = [&] {
    if (entry.real_command)
      Allow(entry.name, entry.command, place, platform::RegView::Native);
    else
      baseline_.Add(place, {entry.name, entry.command, std::nullopt});
  };
  if (door == Door::Tasks) {
    acts.confirmation = "Are you sure that you want to remove this scheduled task?";
    acts.remove = [&] { return DeleteTask(entry); };
  } else {
    acts.confirmation = entry.name == entry.service
                            ? "Are you sure that you want to disable this service? It will not start with Windows any more."
                            : "Are you sure that you want to disable the service " + entry.service +
                                  ", which loads this DLL? It will not start with Windows any more.";
    acts.remove = [&] { return DisableService(entry); };
    acts.removed = events::kServiceDisabled;
    acts.forbidden = ProgramOf(entry.command, LookupOn(platform_));
  }
  AskAndAct(place, entry.name, AutorunCommand{entry.command}, acts, standing);
}

bool RegistryScan::DeleteTask(const DoorEntry& entry) {
  // Only the task the person was shown goes.
  if (platform_.files.ReadAll(entry.file) != entry.bytes) {
    NotDeletedChanged(entry.task_path);
    return false;
  }
  IniStore& statistics = host_.Data().statistics;
  const std::string copies = TaskCopiesFolder(platform_.system);
  const Recorded recorded =
      RecordTaskRemoval(statistics, platform_.files, copies, entry.task_path, entry.command, entry.bytes);
  if (recorded.result != RecordResult::Recorded)
    host_.Warn(std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  // Through the Task Scheduler, which may refuse, never by deleting its file.
  const uint32_t error =
      host_.OnScheduler([&tasks = platform_.tasks, path = entry.task_path] { return tasks.Delete(path); });
  if (!error) return true;
  if (recorded.slot >= 0) {
    EraseRemoval(statistics, recorded.slot, RemovedTask{entry.task_path, entry.command, TaskCopyName(recorded.slot)});
    platform_.files.Delete(copies + "\\" + TaskCopyName(recorded.slot));
  }
  host_.Warn("Veltrane may not change the scheduled task " + entry.task_path + ".");
  host_.Log(events::kAccessRefused, {entry.task_path, "change"});
  return false;
}

bool RegistryScan::DisableService(const DoorEntry& entry) {
  const std::vector<DoorEntry> now = ServiceEntries(platform_.registry, entry.service);
  if (std::find(now.begin(), now.end(), entry) == now.end()) {
    NotDeletedChanged(entry.service);
    return false;
  }
  IniStore& statistics = host_.Data().statistics;
  const RemovedEntry record = ServiceStartRecord(entry.service, entry.command, entry.start);
  const Recorded recorded = RecordRemoval(statistics, record);
  if (recorded.result != RecordResult::Recorded)
    host_.Warn(std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  // The service manager would not see a write of the registry for a
  // service it knows; one it does not know starts from the registry.
  platform::Services& services = platform_.services;
  const std::optional<platform::ServiceState> state = services.Query(entry.service);
  bool disabled = false;
  if (state) {
    disabled = services.SetStartType(entry.service, platform::StartType::Disabled) == 0;
  } else if (std::unique_ptr<platform::RegistryKey> key = platform_.registry.Open(
                 platform::RootKey::LocalMachine, ServiceKeyPath(entry.service), platform::Access::ReadWrite)) {
    disabled = key->WriteDword("Start", uint32_t(platform::StartType::Disabled));
  }
  if (!disabled) {
    if (recorded.slot >= 0) EraseRemoval(statistics, recorded.slot, record);
    host_.Refused(KeyText(platform::RootKey::LocalMachine, ServiceKeyPath(entry.service), platform::RegView::Native),
                  Refusal::Delete);
    return false;
  }
  if (state && state->running && services.Stop(entry.service) != 0)
    host_.Warn("The service was disabled, but it could not be stopped now. It will not start again with Windows.");
  return true;
}

std::unique_ptr<platform::RegistryKey> RegistryScan::OpenToDelete(const ScanKey& scan_key, std::string_view path,
                                                                  platform::RegView view, const std::string& entry) {
  AutorunKey writable = OpenAutorunKey(platform_.registry, scan_key.root, path, view, platform::Access::ReadWrite);
  if (writable.status == KeyOpen::Missing)
    NotDeletedChanged(entry);
  else if (!writable.key)
    host_.Refused(KeyText(scan_key.root, path, view), Refusal::Delete);
  return std::move(writable.key);
}

void RegistryScan::NotDeletedChanged(const std::string& entry) {
  host_.Warn(std::string(kNotDeletedChanged));
  host_.Log(events::kRefusedToAct, {entry});
}

bool RegistryScan::Delete(platform::RegistryKey& key, const std::string& name, const std::string& shown,
                          const ScanKey& scan_key, platform::RegView view, std::string_view path) {
  const std::string key_text = KeyText(scan_key.root, path, view);
  const std::string entry = ShownName(name) + " in " + key_text;
  // Only what the person was shown goes: another program may have changed
  // or deleted the value meanwhile.
  std::optional<AutorunCommand> now = ReadCommand(key, name);
  if (!now || now->text != shown) {
    NotDeletedChanged(entry);
    return false;
  }
  const std::unique_ptr<platform::RegistryKey> writable = OpenToDelete(scan_key, path, view, entry);
  if (!writable) return false;
  const RemovedEntry removed{scan_key.root, std::string(path), view, name, platform::ValueType(now->type), now->text};
  Recorded recorded{RecordResult::NotStorable};
  // Data after a NUL cannot be kept in the list, nor written back.
  if (!now->more_after_nul) recorded = RecordRemoval(host_.Data().statistics, removed);
  if (recorded.result != RecordResult::Recorded)
    host_.Warn(std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  if (scan_key.entries == Entries::NotWindowsOwn) {
    // Windows cannot log on without its own shell and Userinit.
    const std::string own = WindowsOwnData(scan_key, platform_.processes.SystemFolder());
    if (own.empty() ? writable->DeleteValue(name) : writable->WriteText(name, own)) return true;
  } else if (scan_key.entries == Entries::EmptiedOnDelete) {
    if (writable->WriteText(name, "", platform::ValueType(now->type))) return true;
  } else if (writable->DeleteValue(name)) {
    return true;
  }
  // Not deleted: its record would only offer to write it over itself.
  if (recorded.slot >= 0) EraseRemoval(host_.Data().statistics, recorded.slot, removed);
  if (writable->Info(name))
    host_.Refused(key_text, Refusal::Delete);  // still there: asked about again next time
  else
    NotDeletedChanged(entry);
  return false;
}

void RegistryScan::Allow(const std::string& name, const std::string& data, std::string_view place,
                         platform::RegView view, bool binds) {
  if (!FitsInList(name) || !FitsInList(data)) {
    host_.Warn(std::string(kNotStorable));
    return;
  }
  // Its program as it is now, found before the list is locked.
  const std::optional<BoundFile> file = binds ? programs_.Take(data) : std::nullopt;
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
      std::vector<std::string> texts;
      if (file)
        for (const auto& key : BoundKeys(*file, bound::kHash, texts)) keys.push_back(key);
      WriteSlot(white, slot, keys);
      return;
    }
  }
  host_.Warn(std::string(kWhiteListFull));
}

}  // namespace registry
