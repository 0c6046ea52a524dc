#include "registry/undo.h"

#include "platform/text.h"
#include "registry/autorun.h"
#include "registry/data_files.h"

namespace registry {

using namespace statistics;

namespace {

constexpr std::string_view kNative = "native";
constexpr std::string_view kWow32 = "32-bit";

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
  return type == platform::ValueType::ExpandSz ? "REG_EXPAND_SZ" : "REG_SZ";
}

// A place the scan deletes from, in a view it has there.
bool IsAutostartKey(const RemovedEntry& e) { return PlaceOf(e.root, e.path, e.view, e.name) != nullptr; }

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
  if (counted)
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kNameHex, name_hex}, {kType, TypeText(entry.type)}, {kData, entry.data}});
  else
    WriteSlot(statistics, slot,
              {{kRoot, RootText(entry.root)}, {kKey, entry.path}, {kView, view}, {kName, name},
               {kType, TypeText(entry.type)}, {kData, entry.data}});
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
  if (platform::SameAsciiCaseless(*type, "REG_SZ"))
    e.type = platform::ValueType::Sz;
  else if (platform::SameAsciiCaseless(*type, "REG_EXPAND_SZ"))
    e.type = platform::ValueType::ExpandSz;
  else
    return read;
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

std::string KeyText(const RemovedEntry& entry) { return KeyText(entry.root, entry.path, entry.view); }

void RecoverRemoval(Context& host, int slot, const std::string& shown_text) {
  IniStore& statistics = host.Data().statistics;
  ReadRemoval read = ReadRemovalSlot(statistics, slot);
  // Another copy, or the user, changed the file since the list was filled:
  // the refresh that follows shows it as it is now.
  if (read.status == SlotRead::Empty || read.entry.data != shown_text) return;
  if (read.status == SlotRead::TooLittle) {
    host.Warn(std::string(kTooLittle));
    return;
  }
  if (read.status == SlotRead::NotOurs) {
    host.Warn(std::string(kNotOurs));
    return;
  }
  const RemovedEntry& e = read.entry;
  if (!host.Confirm("You are putting this entry back into the registry. Are you sure?\r\n\r\nKey: " + KeyText(e) +
                    "\r\nValue name: " + NameText(e.name) + "\r\nValue: " + e.data))
    return;

  platform::Registry& registry = host.Platform().registry;
  if (std::unique_ptr<platform::RegistryKey> key = registry.Open(e.root, e.path, platform::Access::Read, nullptr, e.view)) {
    std::optional<platform::RegValue> existing = key->Read(e.name);
    const ScanKey* place = PlaceOf(e.root, e.path, e.view, e.name);
    // Windows' own data, which the deletion put back, is replaced without a question.
    if (existing && place->entries == Entries::NotWindowsOwn && existing->IsText() &&
        IsWindowsOwn(*place, existing->data.substr(0, existing->data.find('\0')), host.Platform().processes.WindowsFolder(),
                     host.Platform().processes.SystemFolder()))
      existing.reset();
    if (existing) {
      std::string now = existing->IsText() ? existing->data.substr(0, existing->data.find('\0'))
                                           : std::string("(a value that is not text)");
      if (host.Tell(tk::MsgKind::Warning, "The key already holds a value named \"" + NameText(e.name) + "\":\r\n\r\n" + now +
                                                  "\r\n\r\nDo you want to replace it with the removed entry?",
                    tk::MsgButtons::YesNo) != tk::ModalResult::Yes)
        return;
    }
  }
  // The monitor is stopped for the program's own write only, not while the
  // boxes above wait for the user: others' changes meanwhile are still seen.
  bool written = false;
  {
    WatchPause pause(host.Watch(), WatchAfter::OwnChange);
    // A missing key is made again: the entry goes back where it was.
    std::unique_ptr<platform::RegistryKey> key = registry.OpenOrCreate(e.root, e.path, nullptr, e.view);
    written = key && key->WriteText(e.name, e.data, e.type);
  }
  if (!written) {
    host.Warn(std::string(kNotRecovered));
    return;
  }
  // Only this slot: another record of the same text is another entry.
  EraseRemoval(statistics, slot, e);
  host.Log(events::kAutostartPutBack, {KeyText(e), NameText(e.name), e.data});
  host.Say(std::string(kRecovered));
}

}  // namespace registry
