#include "registry/undo.h"

#include <algorithm>
#include <cstdio>

#include "platform/text.h"
#include "registry/autorun.h"
#include "registry/data_files.h"
#include "registry/doors.h"

namespace registry {

using namespace statistics;

namespace {

constexpr std::string_view kNative = "native";
constexpr std::string_view kWow32 = "32-bit";
// More lines than any multi-string Windows reads at boot holds.
constexpr int kMaxLines = 1 << 20;

struct Named {
  platform::RootKey root;
  std::string_view text;
};
constexpr Named kRoots[] = {{platform::RootKey::LocalMachine, "HKEY_LOCAL_MACHINE"},
                            {platform::RootKey::CurrentUser, "HKEY_CURRENT_USER"}};

std::string_view RootText(platform::RootKey root) {
  for (const Named& r : kRoots)
    if (r.root == root) return r.text;
  return {};
}

std::string_view TypeText(platform::ValueType type) {
  return type == platform::ValueType::ExpandSz ? "REG_EXPAND_SZ"
         : type == platform::ValueType::Dword  ? "REG_DWORD"
         : type == platform::ValueType::MultiSz ? "REG_MULTI_SZ"
                                               : "REG_SZ";
}

std::optional<platform::ValueType> TextType(std::string_view text) {
  if (platform::SameAsciiCaseless(text, "REG_SZ")) return platform::ValueType::Sz;
  if (platform::SameAsciiCaseless(text, "REG_EXPAND_SZ")) return platform::ValueType::ExpandSz;
  return std::nullopt;
}

// The Start value of a service's own key: the one number "Recover" writes.
bool IsServiceStart(const RemovedEntry& e) {
  const std::optional<std::string_view> service = platform::Below(e.path, kServicesPath);
  return e.root == platform::RootKey::LocalMachine && e.view == platform::RegView::Native &&
         e.type == platform::ValueType::Dword && service && !service->empty() &&
         service->find('\\') == std::string_view::npos && platform::SameAsciiCaseless(e.name, "Start");
}

// A place the scan deletes from, in a view it has there, with what its
// "Delete" takes away.
bool IsAutostartKey(const RemovedEntry& e) {
  if (e.type == platform::ValueType::Dword) return IsServiceStart(e);
  const ScanKey* place = PlaceOf(e.root, e.path, e.view, e.name);
  if (!place) return false;
  if ((e.type == platform::ValueType::MultiSz) != (place->entries == Entries::EachLine)) return false;
  if (e.also)
    return place->entries == Entries::ClassOverride && e.name.empty() &&
           platform::SameAsciiCaseless(e.also->name, kDelegateExecute);
  return true;
}

std::optional<uint32_t> Decimal(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + uint64_t(c - '0');
  }
  if (n > 0xFFFFFFFFu) return std::nullopt;
  return uint32_t(n);
}

// The copy's name is the record's own, and only ever such a name is read
// back: nothing outside the folder is touched.
bool IsCopyName(std::string_view name) {
  return name.size() > 4 && name.ends_with(".xml") && Decimal(name.substr(0, name.size() - 4)).has_value();
}

std::string NameText(const std::string& name) { return name.empty() ? "(Default)" : ShownName(name); }

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) hex.append({kDigits[c >> 4], kDigits[c & 15]});
  return hex;
}

std::optional<std::string> FromHex(std::string_view hex) {
  auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  if (hex.size() % 2) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]), low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += char(high * 16 + low);
  }
  return bytes;
}

}  // namespace

Recorded RecordRemoval(IniStore& statistics, const RemovedEntry& entry) {
  // The name is a value in the file, the data too: both must come back as
  // they were, or the wrong value would be written back.
  const bool counted = entry.name.find('\0') != std::string::npos;
  const std::string name = counted ? ShownName(entry.name) : entry.name;
  const std::string name_hex = counted ? Hex(entry.name) : std::string();
  if (!FitsInList(name) || !FitsInList(name_hex) || !FitsInList(entry.data) || !FitsInList(entry.path))
    return {RecordResult::NotStorable};
  IniStore::Change change(statistics);
  const int slot = FindFreeSlot(statistics, kData, kLastSlot);
  if (slot < 0) return {RecordResult::Full};
  const std::string_view view = entry.view == platform::RegView::Wow32 ? kWow32 : kNative;
  if (entry.type == platform::ValueType::MultiSz) {
    // A line may hold anything but a NUL: its bytes are kept whole.
    if (!FitsInList(entry.description) || entry.position < 0) return {RecordResult::NotStorable};
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kType, TypeText(entry.type)}, {kPosition, std::to_string(entry.position)},
               {kDescription, entry.description}, {kDataHex, Hex(entry.data)}, {kData, entry.description}});
  } else if (entry.also) {
    if (!FitsInList(entry.description) || !FitsInList(entry.also->name) || !FitsInList(entry.also->data))
      return {RecordResult::NotStorable};
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kType, TypeText(entry.type)}, {kDescription, entry.description}, {kAlsoName, entry.also->name},
               {kAlsoType, TypeText(entry.also->type)}, {kAlsoData, entry.also->data}, {kData, entry.data}});
  } else if (!entry.description.empty()) {
    if (!FitsInList(entry.description)) return {RecordResult::NotStorable};
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kType, TypeText(entry.type)}, {kDescription, entry.description}, {kData, entry.data}});
  } else if (counted)
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kNameHex, name_hex}, {kType, TypeText(entry.type)}, {kData, entry.data}});
  else
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kType, TypeText(entry.type)}, {kData, entry.data}});
  return {RecordResult::Recorded, slot};
}

namespace {

// The positions of the other recorded lines of the value that entry names.
std::vector<int> OtherLines(IniStore& statistics, const RemovedEntry& entry) {
  std::vector<int> positions;
  for (int slot = 0; slot <= kLastSlot; ++slot) {
    const ReadRemoval read = ReadRemovalSlot(statistics, slot);
    const RemovedEntry& e = read.entry;
    if (read.status == SlotRead::Ok && e.type == platform::ValueType::MultiSz && e != entry && e.root == entry.root &&
        e.view == entry.view && platform::SameAsciiCaseless(e.path, entry.path) &&
        platform::SameAsciiCaseless(e.name, entry.name))
      positions.push_back(e.position);
  }
  std::sort(positions.begin(), positions.end());
  return positions;
}

}  // namespace

Recorded RecordLineRemoval(IniStore& statistics, RemovedEntry entry, size_t index) {
  IniStore::Change change(statistics);
  // Counted among the lines that other records took out, so that each
  // record keeps its place whichever is put back first.
  size_t position = index;
  for (int other : OtherLines(statistics, entry))
    if (size_t(other) <= position) ++position;
  entry.position = int(position);
  return RecordRemoval(statistics, entry);
}

size_t LineIndexNow(IniStore& statistics, const RemovedEntry& entry) {
  size_t index = size_t(entry.position);
  for (int other : OtherLines(statistics, entry))
    if (other < entry.position && index > 0) --index;
  return index;
}

RemovedEntry ServiceStartRecord(const std::string& service, const std::string& command, uint32_t start) {
  return {platform::RootKey::LocalMachine, ServiceKeyPath(service), platform::RegView::Native, "Start",
          platform::ValueType::Dword, std::to_string(start), service + ": " + command};
}

std::string TaskCopyName(int slot) { return std::to_string(slot) + ".xml"; }

std::string TaskCopiesFolder(platform::System& system) { return TrashcanFolder(system) + "Tasks"; }

Recorded RecordTaskRemoval(IniStore& statistics, platform::Files& files, const std::string& copies_folder,
                           const std::string& path, const std::string& command, const std::string& bytes) {
  if (!FitsInList(path) || !FitsInList(command)) return {RecordResult::NotStorable};
  IniStore::Change change(statistics);
  const int slot = FindFreeSlot(statistics, kData, kLastSlot);
  if (slot < 0) return {RecordResult::Full};
  const std::string copy = TaskCopyName(slot);
  if (!files.MakeFolder(copies_folder) || !files.Replace(copies_folder + "\\" + copy, bytes))
    return {RecordResult::NotStorable};
  WriteSlot(statistics, slot, {{kPlace, kTasksSection}, {kName, path}, {kCopy, copy}, {kData, command}});
  return {RecordResult::Recorded, slot};
}

ReadRemoval ReadRemovalSlot(IniStore& statistics, int slot) {
  // The keys of one version of the file, whoever writes it meanwhile.
  IniStore::Batch batch(statistics);
  ReadRemoval read;
  std::optional<std::string> data = ReadSlot(statistics, slot, kData);
  if (!data) return read;
  read.entry.data = std::move(*data);
  read.status = SlotRead::TooLittle;
  if (std::optional<std::string> place = ReadSlot(statistics, slot, kPlace)) {
    std::optional<std::string> name = ReadSlot(statistics, slot, kName), copy = ReadSlot(statistics, slot, kCopy);
    if (*place != kTasksSection) {
      read.status = SlotRead::NotOurs;
    } else if (name && copy && IsCopyName(*copy)) {
      read.task = RemovedTask{std::move(*name), read.entry.data, std::move(*copy)};
      read.status = SlotRead::Ok;
    }
    return read;
  }
  std::optional<std::string> root = ReadSlot(statistics, slot, kRoot), path = ReadSlot(statistics, slot, kKey),
                             view = ReadSlot(statistics, slot, kView), name = ReadSlot(statistics, slot, kName),
                             type = ReadSlot(statistics, slot, kType);
  if (!root || !path || !view || !name || !type) return read;

  RemovedEntry& e = read.entry;
  bool known_root = false;
  for (const Named& r : kRoots) {
    if (platform::SameAsciiCaseless(*root, r.text)) {
      e.root = r.root;
      known_root = true;
    }
  }
  if (*view == kNative)
    e.view = platform::RegView::Native;
  else if (*view == kWow32)
    e.view = platform::RegView::Wow32;
  else
    return read;
  if (std::optional<platform::ValueType> text = TextType(*type))
    e.type = *text;
  else if (platform::SameAsciiCaseless(*type, "REG_DWORD") && Decimal(read.entry.data))
    e.type = platform::ValueType::Dword;
  else if (platform::SameAsciiCaseless(*type, "REG_MULTI_SZ"))
    e.type = platform::ValueType::MultiSz;
  else
    return read;
  if (e.type == platform::ValueType::MultiSz) {
    const std::optional<std::string> hex = ReadSlot(statistics, slot, kDataHex),
                                     position = ReadSlot(statistics, slot, kPosition);
    std::optional<std::string> line = hex ? FromHex(*hex) : std::nullopt;
    const std::optional<uint32_t> at = position ? Decimal(*position) : std::nullopt;
    if (!line || line->empty() || line->find('\0') != std::string::npos || !at || *at > uint32_t(kMaxLines))
      return read;
    e.data = std::move(*line);
    e.position = int(*at);
  }
  if (std::optional<std::string> also = ReadSlot(statistics, slot, kAlsoName)) {
    const std::optional<std::string> also_type = ReadSlot(statistics, slot, kAlsoType),
                                     also_data = ReadSlot(statistics, slot, kAlsoData);
    const std::optional<platform::ValueType> text = also_type ? TextType(*also_type) : std::nullopt;
    if (!text || !also_data || !TextType(*type)) return read;
    e.also = RemovedValue{std::move(*also), *text, *also_data};
  }
  if (std::optional<std::string> description = ReadSlot(statistics, slot, kDescription))
    e.description = std::move(*description);
  e.path = std::move(*path);
  e.name = std::move(*name);
  if (std::optional<std::string> hex = ReadSlot(statistics, slot, kNameHex)) {
    std::optional<std::string> whole = FromHex(*hex);
    if (!whole) return read;
    e.name = std::move(*whole);
  }
  read.status = known_root && IsAutostartKey(e) ? SlotRead::Ok : SlotRead::NotOurs;
  return read;
}

void EraseRemoval(IniStore& statistics, int slot, const RemovedEntry& entry) {
  IniStore::Change change(statistics);
  const ReadRemoval now = ReadRemovalSlot(statistics, slot);
  if (now.status == SlotRead::Ok && now.entry == entry) EraseSlot(statistics, slot);
}

void EraseRemoval(IniStore& statistics, int slot, const RemovedTask& task) {
  IniStore::Change change(statistics);
  const ReadRemoval now = ReadRemovalSlot(statistics, slot);
  if (now.task == task) EraseSlot(statistics, slot);
}

std::vector<std::optional<std::string>> RemovalLines(IniStore& statistics) {
  IniStore::Batch batch(statistics);
  std::vector<std::optional<std::string>> lines = ReadSlots(statistics, kData, kLastSlot);
  const auto descriptions = ReadSlots(statistics, kDescription, kLastSlot);
  const auto places = ReadSlots(statistics, kPlace, kLastSlot);
  const auto names = ReadSlots(statistics, kName, kLastSlot);
  for (size_t slot = 0; slot < lines.size(); ++slot) {
    if (!lines[slot]) continue;
    if (descriptions[slot])
      lines[slot] = descriptions[slot];
    else if (places[slot] && names[slot])
      lines[slot] = *names[slot] + ": " + *lines[slot];
  }
  return lines;
}

std::string KeyText(const RemovedEntry& entry) { return KeyText(entry.root, entry.path, entry.view); }

namespace {

// What the list shows of the record.
std::string LineOf(const ReadRemoval& read) {
  if (read.task) return read.task->path + ": " + read.task->command;
  return read.entry.description.empty() ? read.entry.data : read.entry.description;
}

void RecoverTask(Context& host, int slot, const RemovedTask& task) {
  if (!host.Confirm("You are putting this scheduled task back. Are you sure?\r\n\r\nTask: " + task.path +
                    "\r\nCommand: " + task.command))
    return;
  platform::Platform platform = host.Platform();
  const std::string copy = TaskCopiesFolder(platform.system) + "\\" + task.copy;
  const std::optional<std::string> bytes = platform.files.ReadAll(copy);
  if (!bytes) {
    host.Warn("The definition of this scheduled task cannot be read from " + copy + ". It stays on the list.");
    return;
  }
  if (platform.tasks.Parse(*bytes).needs_password) {
    host.Warn("This scheduled task needs its account's password and cannot be put back by Veltrane. Its definition "
              "is kept in " + copy + ".");
    return;
  }
  uint32_t error = 0;
  {
    WatchPause pause(host.Watch(), WatchAfter::OwnChange);
    error = host.OnScheduler([&tasks = platform.tasks, path = task.path, xml = *bytes] { return tasks.Register(path, xml); });
  }
  if (error == platform::kTaskExists) {
    host.Warn(std::string(kValueExists));
    return;
  }
  if (error) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", unsigned(error));
    host.Warn("The scheduled task could not be put back (error " + std::string(code) + "). It stays on the list.");
    return;
  }
  EraseRemoval(host.Data().statistics, slot, task);
  platform.files.Delete(copy);
  host.Log(events::kAutostartPutBack, {std::string(kTasksSection), task.path, task.command});
  host.Say(std::string(kTaskRecovered));
}

// A value that the key holds now, and that "Recover" would replace: the
// person is asked first. Windows' own shell or Userinit, which "Delete" put
// back, the emptied value and the disabled start type that "Delete" left
// are replaced without a question.
bool MayReplace(Context& host, const RemovedEntry& e, const platform::RegValue& existing) {
  std::string now;
  if (e.type == platform::ValueType::Dword) {
    std::optional<uint32_t> start;
    if (existing.type == uint32_t(platform::ValueType::Dword) && existing.data.size() == 4)
      start = uint32_t(uint8_t(existing.data[0])) | uint32_t(uint8_t(existing.data[1])) << 8 |
              uint32_t(uint8_t(existing.data[2])) << 16 | uint32_t(uint8_t(existing.data[3])) << 24;
    if (start == uint32_t(platform::StartType::Disabled)) return true;
    now = start ? std::to_string(*start) : std::string("(a value that is not a number)");
  } else if (e.type == platform::ValueType::MultiSz && existing.type == uint32_t(platform::ValueType::MultiSz)) {
    // The line goes in among the others; none of them is replaced.
    return true;
  } else {
    const ScanKey* place = PlaceOf(e.root, e.path, e.view, e.name);
    if (place->entries == Entries::NotWindowsOwn && existing.IsText() &&
        IsWindowsOwn(*place, existing.data.substr(0, existing.data.find('\0')),
                     host.Platform().processes.WindowsFolder(), host.Platform().processes.SystemFolder()))
      return true;
    if (place->entries == Entries::EmptiedOnDelete && existing.IsText() &&
        existing.data.substr(0, existing.data.find('\0')).empty())
      return true;
    now = existing.IsText() ? existing.data.substr(0, existing.data.find('\0'))
                            : std::string("(a value that is not text)");
  }
  return host.Tell(tk::MsgKind::Warning, "The key already holds a value named \"" + NameText(e.name) + "\":\r\n\r\n" +
                                             now + "\r\n\r\nDo you want to replace it with the removed entry?",
                   tk::MsgButtons::YesNo) == tk::ModalResult::Yes;
}

// Puts the value back; a service's start type through the service manager
// when it knows the service, since it would not see a write of the registry.
bool WriteBack(Context& host, const RemovedEntry& e) {
  platform::Platform platform = host.Platform();
  WatchPause pause(host.Watch(), WatchAfter::OwnChange);
  if (e.type != platform::ValueType::Dword) {
    // A missing key is made again: the entry goes back where it was.
    std::unique_ptr<platform::RegistryKey> key = platform.registry.OpenOrCreate(e.root, e.path, nullptr, e.view);
    if (!key) return false;
    if (e.type == platform::ValueType::MultiSz) {
      const std::optional<platform::RegValue> now = key->Read(e.name);
      const std::string data = now && now->type == uint32_t(platform::ValueType::MultiSz) ? now->data : std::string();
      const std::vector<std::string_view> lines = MultiLines(data);
      if (std::find(lines.begin(), lines.end(), e.data) != lines.end()) return true;  // back already
      return key->WriteMultiText(e.name, WithLine(data, LineIndexNow(host.Data().statistics, e), e.data));
    }
    return key->WriteText(e.name, e.data, e.type) && (!e.also || key->WriteText(e.also->name, e.also->data, e.also->type));
  }
  const uint32_t start = *Decimal(e.data);
  const std::string service(*platform::Below(e.path, kServicesPath));
  if (platform.services.Query(service))
    return platform.services.SetStartType(service, platform::StartType(start)) == 0;
  // A service that is gone is not made again from its start type alone.
  std::unique_ptr<platform::RegistryKey> key = platform.registry.Open(e.root, e.path, platform::Access::ReadWrite);
  return key && key->WriteDword(e.name, start);
}

}  // namespace

void RecoverRemoval(Context& host, int slot, const std::string& shown_text) {
  IniStore& statistics = host.Data().statistics;
  ReadRemoval read = ReadRemovalSlot(statistics, slot);
  // Another copy, or the user, changed the file since the list was filled:
  // the refresh that follows shows it as it is now.
  if (read.status == SlotRead::Empty || LineOf(read) != shown_text) return;
  if (read.status == SlotRead::TooLittle) {
    host.Warn(std::string(kTooLittle));
    return;
  }
  if (read.status == SlotRead::NotOurs) {
    host.Warn(std::string(kNotOurs));
    return;
  }
  if (read.task) {
    RecoverTask(host, slot, *read.task);
    return;
  }
  const RemovedEntry& e = read.entry;
  const std::string names = NameText(e.name) + (e.also ? " and " + NameText(e.also->name) : "");
  if (!host.Confirm("You are putting this entry back into the registry. Are you sure?\r\n\r\nKey: " + KeyText(e) +
                    "\r\nValue name: " + names + "\r\nValue: " + (e.also ? e.description : e.data)))
    return;

  platform::Registry& registry = host.Platform().registry;
  if (std::unique_ptr<platform::RegistryKey> key = registry.Open(e.root, e.path, platform::Access::Read, nullptr, e.view)) {
    std::optional<platform::RegValue> existing = key->Read(e.name);
    if (existing && !MayReplace(host, e, *existing)) return;
    if (e.also) {
      RemovedEntry also = e;
      also.name = e.also->name;
      also.type = e.also->type;
      existing = key->Read(also.name);
      if (existing && !MayReplace(host, also, *existing)) return;
    }
  }
  // The monitor is stopped for the program's own write only, not while the
  // boxes above wait for the user: others' changes meanwhile are still seen.
  if (!WriteBack(host, e)) {
    host.Warn(std::string(kNotRecovered));
    return;
  }
  // Only this slot: another record of the same text is another entry.
  EraseRemoval(statistics, slot, e);
  host.Log(events::kAutostartPutBack, {KeyText(e), names, e.also ? e.description : e.data});
  host.Say(std::string(kRecovered));
}

}  // namespace registry
