#include "registry/autorun.h"

#include <algorithm>

#include "platform/text.h"

namespace registry {

std::vector<KeyView> ViewsOf(const ScanKey& key, platform::Registry& registry) {
  std::vector<KeyView> views{{platform::RegView::Native, key.section_text}};
  // A key that both views share is one key: it is visited once.
  if (!key.section_text_32.empty() && registry.HasWow32View() && !registry.ViewsShareKey(key.root, std::string(key.path)))
    views.push_back({platform::RegView::Wow32, key.section_text_32});
  return views;
}

const ScanKey* PlaceOf(platform::RootKey root, std::string_view path, platform::RegView view, std::string_view name) {
  auto matches = [&](const ScanKey& k) {
    if (k.root != root) return false;
    if (k.entries == Entries::EachSubkey) {
      // A value of one subkey, directly below the key, or in one of its tails.
      if (path.size() <= k.path.size() + 1 || path[k.path.size()] != '\\' ||
          !platform::SameAsciiCaseless(path.substr(0, k.path.size()), k.path))
        return false;
      std::string_view rest = path.substr(k.path.size() + 1);
      const size_t cut = rest.find('\\');
      if (k.tails.empty() ? cut != std::string_view::npos : cut == std::string_view::npos) return false;
      if (!k.tails.empty()) {
        const std::string_view tail = rest.substr(cut + 1);
        const std::vector<std::string_view> tails = TailsOf(k);
        if (std::none_of(tails.begin(), tails.end(),
                         [&](std::string_view known) { return platform::SameAsciiCaseless(known, tail); }))
          return false;
      }
    } else if (!platform::SameAsciiCaseless(k.path, path)) {
      return false;
    }
    if (view == platform::RegView::Wow32 && k.section_text_32.empty()) return false;
    if (k.entries == Entries::ClassOverride) return name.empty() || platform::SameAsciiCaseless(name, kDelegateExecute);
    return k.entries == Entries::EveryValue || platform::SameAsciiCaseless(k.value, name);
  };
  for (const ScanKey& k : kScanKeys)
    if (matches(k)) return &k;
  for (const ScanKey& k : kOtherKeys)
    if (matches(k)) return &k;
  for (const ScanKey& k : kHijackKeys)
    if (matches(k)) return &k;
  return nullptr;
}

std::vector<std::string_view> TailsOf(const ScanKey& key) {
  std::vector<std::string_view> tails;
  for (std::string_view rest = key.tails; !rest.empty();) {
    const size_t end = std::min(rest.find(';'), rest.size());
    tails.push_back(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  if (tails.empty()) tails.push_back({});
  return tails;
}

std::vector<std::string_view> MultiLines(std::string_view data) {
  std::vector<std::string_view> lines;
  while (!data.empty()) {
    const size_t end = std::min(data.find('\0'), data.size());
    if (end == 0) break;
    lines.push_back(data.substr(0, end));
    data.remove_prefix(std::min(end + 1, data.size()));
  }
  return lines;
}

namespace {
// Where the line at index starts in the data, and where the next one does.
std::pair<size_t, size_t> LineSpan(std::string_view data, size_t index) {
  const std::vector<std::string_view> lines = MultiLines(data);
  if (index >= lines.size()) {
    const size_t end = lines.empty() ? 0 : size_t(lines.back().data() + lines.back().size() - data.data()) + 1;
    return {std::min(end, data.size()), std::min(end, data.size())};
  }
  const size_t start = size_t(lines[index].data() - data.data());
  return {start, std::min(start + lines[index].size() + 1, data.size())};
}
}  // namespace

std::string WithoutLine(std::string_view data, size_t index) {
  const auto [start, next] = LineSpan(data, index);
  return std::string(data.substr(0, start)) + std::string(data.substr(next));
}

std::string WithLine(std::string_view data, size_t index, std::string_view line) {
  const size_t at = LineSpan(data, index).first;
  std::string rest(data.substr(at));
  // The list keeps its closing empty line.
  if (rest.empty()) rest.push_back('\0');
  std::string joined(data.substr(0, at));
  // A last line that lacked its own NUL gets one before the new line.
  if (!joined.empty() && joined.back() != '\0') joined.push_back('\0');
  return joined + std::string(line) + '\0' + rest;
}

bool IsWindowsOwnBootLine(std::string_view line) {
  std::string words;
  for (char c : line) {
    if (c == ' ' || c == '\t') {
      if (!words.empty() && words.back() != ' ') words.push_back(' ');
    } else {
      words.push_back(c);
    }
  }
  if (!words.empty() && words.back() == ' ') words.pop_back();
  return platform::SameAsciiCaseless(words, "autocheck autochk *");
}

std::string OverrideShown(const std::optional<std::string>& command, bool delegates) {
  return (command && !command->empty() ? *command : std::string("(empty)")) + (delegates ? " (DelegateExecute)" : "");
}

std::string OverrideMatch(const std::optional<std::string>& command, const std::optional<std::string>& delegate) {
  std::string match = command ? *command : std::string();
  if (delegate) match += " (DelegateExecute: " + *delegate + ")";
  return match;
}

namespace {
bool IsUserinit(const ScanKey& key) { return platform::SameAsciiCaseless(key.value, "Userinit"); }
}  // namespace

std::string WindowsOwnData(const ScanKey& key, std::string_view system_folder) {
  if (IsUserinit(key)) return std::string(system_folder) + "\\userinit.exe,";
  return key.root == platform::RootKey::LocalMachine ? "explorer.exe" : "";
}

bool IsWindowsOwn(const ScanKey& key, std::string_view data, std::string_view windows_folder,
                  std::string_view system_folder) {
  if (IsUserinit(key)) {
    if (!data.empty() && data.back() == ',') data.remove_suffix(1);
    return platform::SameAsciiCaseless(data, std::string(system_folder) + "\\userinit.exe");
  }
  return platform::SameAsciiCaseless(data, "explorer.exe") || platform::SameAsciiCaseless(data, std::string(windows_folder) + "\\explorer.exe");
}

namespace {
template <class Keys>
void AddLocations(std::vector<platform::KeyLocation>& keys, const Keys& places, platform::Registry& registry) {
  for (const ScanKey& key : places) {
    for (const KeyView& view : ViewsOf(key, registry)) {
      platform::KeyLocation location{key.root, std::string(key.path), view.view};
      if (std::find(keys.begin(), keys.end(), location) == keys.end()) keys.push_back(std::move(location));
    }
  }
}
}  // namespace

std::vector<platform::KeyLocation> AutostartKeys(platform::Registry& registry) {
  std::vector<platform::KeyLocation> keys;
  AddLocations(keys, kScanKeys, registry);
  AddLocations(keys, kOtherKeys, registry);
  return keys;
}

std::vector<platform::KeyLocation> HijackKeys(platform::Registry& registry) {
  std::vector<platform::KeyLocation> keys;
  AddLocations(keys, kHijackKeys, registry);
  return keys;
}

AutorunKey OpenAutorunKey(platform::Registry& registry, platform::RootKey root, std::string_view path,
                          platform::RegView view, platform::Access access) {
  platform::OpenStatus status = platform::OpenStatus::Failed;
  AutorunKey result;
  result.key = registry.Open(root, std::string(path), access, &status, view);
  if (result.key)
    result.status = KeyOpen::Opened;
  else if (status == platform::OpenStatus::NotFound)
    result.status = KeyOpen::Missing;
  else
    result.status = status == platform::OpenStatus::AccessDenied ? KeyOpen::Refused : KeyOpen::Failed;
  return result;
}

std::string KeyText(platform::RootKey root, std::string_view path, platform::RegView view) {
  const char* root_text = root == platform::RootKey::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
  return std::string(root_text) + "\\" + std::string(path) + (view == platform::RegView::Wow32 ? ", 32-bit view" : "");
}

std::string RefusalText(const std::string& key_text, Refusal refusal) {
  const char* what = refusal == Refusal::Change       ? "change the registry key "
                     : refusal == Refusal::ListFolder ? "read the folder "
                                                      : "read the registry key ";
  return std::string("Veltrane may not ") + what + key_text + ". A program may be hiding autostart entries there.";
}

std::string ShownName(std::string_view name) {
  std::string shown;
  for (char c : name) {
    if (c == '\0')
      shown += "<NUL>";
    else
      shown += c;
  }
  return shown;
}

std::optional<std::string> TextBeforeNul(platform::RegValue value) {
  if (!value.IsText()) return std::nullopt;
  std::string& data = value.data;
  if (size_t nul = data.find('\0'); nul != std::string::npos) data.resize(nul);
  return std::move(data);
}

std::optional<std::string> ReadText(platform::RegistryKey& key, const std::string& name) {
  std::optional<platform::RegValue> value = key.Read(name);
  if (!value) return std::nullopt;
  return TextBeforeNul(std::move(*value));
}

std::optional<AutorunCommand> ReadCommand(platform::RegistryKey& key, const std::string& name) {
  std::optional<platform::RegValue> value = key.Read(name);
  if (!value || !value->IsText()) return std::nullopt;
  AutorunCommand command{std::move(value->data), false, value->type};
  if (size_t nul = command.text.find('\0'); nul != std::string::npos) {
    // NULs at the end are only padding.
    command.more_after_nul = command.text.find_first_not_of('\0', nul) != std::string::npos;
    command.text.resize(nul);
  }
  return command;
}

CommandParts SplitCommandLine(std::string_view text) {
  size_t cut = text.find_last_of("\\:");
  if (cut == std::string_view::npos) return {std::string(), std::string(text)};
  return {std::string(text.substr(0, cut + 1)), std::string(text.substr(cut + 1))};
}

}  // namespace registry
