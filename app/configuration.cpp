// The per-user configuration file, the first run and the protection level.
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "app/velmainfrm.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

namespace app {

namespace {

// A flag is on when its text is a non-zero integer: decimal with an optional
// sign, or hexadecimal after "0x" or "$". Anything else is off.
bool IsOn(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t base = 10, limit = negative ? 0x80000000u : 0x7fffffffu;
  if (text.substr(i, 1) == "$") {
    base = 16;
    i += 1;
  } else if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
    base = 16;
    i += 2;
  }
  if (base == 16) limit = 0xffffffffu;
  if (i == text.size()) return false;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    uint64_t digit;
    if (c >= '0' && c <= '9') {
      digit = uint64_t(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = uint64_t(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = uint64_t(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * base + digit;
    if (value > limit) return false;
  }
  return value != 0;
}

// The program's own start-with-Windows value goes on the white list as it is
// registered, quoted; never over what another user allowed, never twice, and
// not at all when the program's path could not be had.
void AllowOwnCommand(registry::IniStore& white, const std::string& exe) {
  using namespace registry::white_list;
  if (exe.empty()) return;
  const std::string command = components::QuotedCommand(exe);
  registry::IniStore::Change change(white);
  for (int slot = 0; slot <= kLastSlot; ++slot) {
    const std::optional<std::string> held = registry::ReadSlot(white, slot, kCommand);
    if (held == command || held == exe) return;
  }
  const int slot = registry::FindFreeSlot(white, kCommand, kLastSlot);
  if (slot < 0) return;  // the scan never asks about it anyway
  registry::WriteSlot(white, slot, {{kNumber, std::to_string(slot)}, {kSection, "HKLM_run"}, {kCommand, command}});
}

}  // namespace

void Tvelmain::LoadConfiguration() {
  registry::IniStore& config = protection_.Data().config;
  registry::Settings& s = protection_.EditSettings();
  auto read = [&config](const registry::StoredSetting& stored) {
    return IsOn(config.ReadString(stored.section, stored.key, "0"));
  };

  if (!read(registry::kConfigured)) {
    tk::App().ShowMessage("This program can be dangerous for your data. You are using it at your own risk.");
    tk::App().ShowMessage("This is a free software.");
    tk::App().ShowMessage("Not yet configured. Standard settings will be selected.");
    s.auto_start = true;
    SetAutoRun(true);
    s.auto_skan_rejestru = true;
    s.skanuj_rejestr = true;
    SaveConfiguration();
    AllowOwnCommand(protection_.Data().white_list, platform.system.ExePath());
  }

  {
    registry::IniStore::Batch batch(config);
    for (const registry::StoredSetting& stored : registry::kStoredSettings) s.*stored.flag = read(stored);
  }
  glowna.Show(s);
  skan.Show(s);
  SetAutoRun(s.auto_start);
}

void Tvelmain::SetAutoRun(bool on) {
  // Stopping the watch for a write that does not happen would cost as much.
  if (auto_.AutoRun() == on) return;
  registry::WatchPause pause(protection_, registry::WatchAfter::OwnChange);
  auto_.SetAutoRun(on);
}

void Tvelmain::SaveConfiguration() {
  if (!protection_.DataFilesOpen()) return;  // not opened yet: start-up has not got that far
  const registry::Settings& s = protection_.Settings();
  std::vector<registry::IniStore::Write> writes;
  for (const registry::StoredSetting& stored : registry::kStoredSettings)
    writes.push_back({stored.section, stored.key, s.*stored.flag ? "1" : "0"});
  // Where it has always stood: before the last setting.
  writes.insert(writes.end() - 1, {registry::kConfigured.section, registry::kConfigured.key, "1"});
  protection_.Data().config.WriteStrings(writes);
  tk::App().ShowMessage("Configuration saved.");
}

void Tvelmain::ShowNotice(const std::string& text) {
  notice_ = text;
  ShowStatus(text);
}

void Tvelmain::ShowProtectionLevel() {
  if (!notice_.empty()) {
    ShowStatus(std::exchange(notice_, std::string()));
    return;
  }
  const registry::Settings& s = protection_.Settings();
  const int level = (s.auto_start ? 30 : 0) + (s.auto_skan_rejestru ? 25 : 0) + (s.auto_skan_pamieci ? 25 : 0) +
                    (s.auto_skan_koncowy ? 20 : 0);
  ShowStatus("System Protection: " + std::to_string(level) + "%");
}

void Tvelmain::autoRegisterFailed() {
  // Once a run is enough: the next start tries again.
  if (autorun_failure_told_) return;
  autorun_failure_told_ = true;
  tk::App().MessageBox(tk::MsgKind::Warning,
                       "Veltrane could not register itself to start with Windows, so it will not start by itself "
                       "when Windows starts.");
}

}  // namespace app
