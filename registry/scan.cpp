#include "registry/scan.h"

#include <optional>
#include <vector>

#include "platform/utf.h"
#include "registry/data_files.h"
#include "registry/ini_parse.h"
#include "registry/rejestralertfrm.h"
#include "registry/slot_match.h"
#include "registry/undo.h"
#include "toolkit/application.h"

namespace registry {

namespace {

// Lets the window repaint and handle clicks between steps of a scan.
void Pump() { tk::App().ProcessMessages(); }

// Runs on scope exit, however the scope is left.
template <class F>
struct Finally {
  F f;
  ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

// Once the program is asked to end, a scan examines nothing more: an alert
// opened now would be closed unanswered at once.
bool ScanHost::Ending() { return tk::App().Terminated(); }

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
  return ini::EqualNoCase(data, own_path);
}

std::vector<KeyView> ViewsOf(const ScanKey& key, platform::Registry& registry) {
  std::vector<KeyView> views{{platform::RegView::Native, key.section_text}};
  if (!key.section_text_32.empty() && registry.HasWow32View())
    views.push_back({platform::RegView::Wow32, key.section_text_32});
  return views;
}

void RegistryScan::ScanAutorunKey(const ScanKey& scan_key) {
  host_.ShowScanPage();
  host_.StopMonitor();
  Pump();
  for (const KeyView& view : ViewsOf(scan_key, host_.Registry())) ScanView(scan_key, view);
  if (host_.LiveRegistryTest()) host_.StartMonitor();
  host_.ShowBalloon();
}

void RegistryScan::ScanView(const ScanKey& scan_key, const KeyView& view) {
  AutorunKey opened;
  if (!host_.Ending()) {
    opened = OpenAutorunKey(host_.Registry(), scan_key.root, scan_key.path, view.view);
    // The native key decides; the 32-bit view, which earlier versions never
    // scanned, is scanned where it may be.
    if (opened.status == KeyOpen::Refused && view.view == platform::RegView::Native) host_.NoRightsExit();
  }
  // The names are taken once: values added during the scan wait for the next.
  std::vector<std::string> names;
  if (opened.key) names = opened.key->ValueNames();

  const int count = int(names.size());
  tk::ProgressBar& bar = host_.Progress();
  for (int i = 0; i < count && !host_.Ending(); ++i) {
    bar.SetMax(count - 1);
    bar.SetPosition(i);
    long_read_.reset();
    if (MatchWhiteList(*opened.key, names[i]) == Match::New) AskUser(*opened.key, names[i], scan_key, view);
  }
  long_read_.reset();
}

void RegistryScan::FullRegistryScan() {
  for (const ScanKey& key : kScanKeys) ScanAutorunKey(key);
  host_.SetBalloonText("Full registry scan complete");
  host_.ShowBalloon();
}

RegistryScan::Match RegistryScan::MatchWhiteList(platform::RegistryKey& key, const std::string& name) {
  // A value that is gone or not text is no command line to judge.
  std::optional<platform::ValueInfo> info = key.Info(name);
  if (!info || !info->IsText()) return Match::Gone;
  // UTF-16 with a NUL: more characters than a slot returns cannot match.
  if (info->size / 2 > IniStore::kMaxRead + 1) return MatchLongValue(key, name, *info);
  const std::string own = host_.OwnPath();
  IniStore& white_list = host_.WhiteList();
  for (int slot = 0; slot <= kLastWhiteListSlot; ++slot) {
    Pump();
    if (host_.Ending()) return Match::Gone;
    // Read again for every slot: the pump may have run anything meanwhile.
    std::optional<std::string> data = ReadText(key, name);
    if (!data) return Match::Gone;
    if (IsOwnCommand(*data, own)) return Match::Known;
    if (SlotHolds(white_list, slot, kWhiteListKey, *data, kMarkerError)) return Match::Known;
  }
  return Match::New;
}

RegistryScan::Match RegistryScan::MatchLongValue(platform::RegistryKey& key, const std::string& name,
                                                 const platform::ValueInfo& info) {
  std::optional<AutorunCommand> command = ReadCommand(key, name);
  if (!command) return Match::Gone;
  long_read_ = LongRead{name, info, *command};
  const std::string& data = command->text;
  if (platform::Utf16Units(data) > IniStore::kMaxRead) return Match::New;
  IniStore& white_list = host_.WhiteList();
  for (int slot = 0; slot <= kLastWhiteListSlot; ++slot) {
    Pump();
    if (host_.Ending()) return Match::Gone;
    if (SlotHolds(white_list, slot, kWhiteListKey, data, kMarkerError)) return Match::Known;
  }
  return Match::New;
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

void RegistryScan::AskUser(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key,
                          const KeyView& view) {
  Pump();
  std::optional<AutorunCommand> command = ReadForAlert(key, name);
  if (!command || host_.Ending() || IsOwnCommand(command->text, host_.OwnPath())) return;
  // What the user is asked about and what is acted on: the command as read,
  // whatever the alert shows of it.
  const std::string data = command->text;

  Finally idle{[this] { channel_.kontakt.SetCaption("error"); }};
  channel_.kontakt.SetCaption("error");
  channel_.zabron.SetChecked(false);
  channel_.nazwa_klucza.SetCaption(name);
  channel_.wartosc_klucza.SetCaption(ShownCommand(*command));
  channel_.sekcja_rejestru.SetCaption(std::string(view.section_text));
  CommandParts parts = SplitCommandLine(platform::CutToUtf16Units(data, kShownChars));
  channel_.sciezka_pliku.SetCaption(parts.path);
  channel_.nazwa_pliku.SetCaption(parts.name);

  {
    Trejestralert alert(channel_);
    alert_ = &alert;
    Finally forget{[this] { alert_ = nullptr; }};
    alert.ShowModal();
  }
  Pump();

  const std::string decision = channel_.kontakt.Caption();
  if (decision == "delete") {
    Delete(key, name, scan_key, view.view);
    if (channel_.zabron.Checked()) host_.BlockProgram(data);
  } else if (decision == "allow") {
    // What the user saw and allowed, even if the value changed meanwhile.
    Allow(name, data, view.view);
  } else if (!host_.Ending()) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string(kLostAnswer), tk::MsgButtons::Ok);
  }
}

void RegistryScan::Delete(platform::RegistryKey& key, const std::string& name, const ScanKey& scan_key,
                          platform::RegView view) {
  // What goes is what is recorded: the value as it is now, which may differ
  // from what the alert showed if another program rewrote it meanwhile.
  std::optional<AutorunCommand> now = ReadCommand(key, name);
  // Gone already, or no longer text and so no command: nothing to delete.
  if (!now) return;
  Recorded recorded{RecordResult::NotStorable};
  // Data after a NUL cannot be kept in the list, nor written back.
  if (!now->more_after_nul)
    recorded = RecordRemoval(host_.Statistics(), RemovedEntry{scan_key.root, std::string(scan_key.path), view, name,
                                                              platform::ValueType(now->type), now->text});
  if (recorded.result != RecordResult::Recorded)
    tk::App().MessageBox(tk::MsgKind::Warning,
                         std::string(recorded.result == RecordResult::Full ? kUndoFull : kUndoNotStorable));
  // A value that cannot be deleted stays and is asked about next time; its
  // record would only offer to write it over itself.
  if (!key.DeleteValue(name) && recorded.slot >= 0 && key.Info(name)) EraseSlot(host_.Statistics(), recorded.slot);
}

void RegistryScan::Allow(const std::string& name, const std::string& data, platform::RegView view) {
  if (!FitsInList(name) || !FitsInList(data)) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string(kNotStorable), tk::MsgButtons::Ok);
    return;
  }
  IniStore& white_list = host_.WhiteList();
  const int slot = FindFreeSlot(white_list, kWhiteListKey, kMarkerError, kLastWhiteListSlot);
  if (slot < 0) {
    tk::App().MessageBox(tk::MsgKind::Warning, std::string(kWhiteListFull), tk::MsgButtons::Ok);
    return;
  }
  const std::string number = std::to_string(slot);
  // "sekcja" says HKLM_run whatever the key, as it always has; the 32-bit
  // view is told apart by a key of its own. Matching reads neither, so an
  // entry allowed in one view is known in the other too.
  if (view == platform::RegView::Wow32)
    WriteSlot(white_list, slot,
              {{"numer", number}, {"nazwa", name}, {"sekcja", "HKLM_run"}, {"widok", "32-bit"}, {kWhiteListKey, data}});
  else
    WriteSlot(white_list, slot, {{"numer", number}, {"nazwa", name}, {"sekcja", "HKLM_run"}, {kWhiteListKey, data}});
}

}  // namespace registry
