// The per-user configuration file, the first run and the protection level.
#include <cstdint>
#include <string_view>

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

const char* FlagText(const tk::CheckBox& box) { return box.Checked() ? "1" : "0"; }

// The program's own start-with-Windows value goes on the white list as it is
// registered, quoted; never over what another user allowed, never twice, and
// not at all when the program's path could not be had.
void AllowOwnCommand(registry::IniStore& white_list, const std::string& exe) {
  if (exe.empty()) return;
  const std::string command = components::QuotedCommand(exe);
  for (int slot = 0; slot <= registry::kLastWhiteListSlot; ++slot) {
    const std::string held = registry::ReadSlot(white_list, slot, "wartosc", registry::kMarkerError);
    if (held == command || held == exe) return;
  }
  const int slot = registry::FindFreeSlot(white_list, "wartosc", registry::kMarkerError, registry::kLastWhiteListSlot);
  if (slot < 0) return;  // the scan never asks about it anyway
  registry::WriteSlot(white_list, slot, {{"numer", std::to_string(slot)}, {"sekcja", "HKLM_run"}, {"wartosc", command}});
}

}  // namespace

void Tvelmain::LoadConfiguration() {
  auto read = [this](const char* section, const char* key) { return IsOn(config->ReadString(section, key, "0")); };

  if (!read("glowna", "skonfigurowany")) {
    tk::App().ShowMessage("This program can be dangerous for your data. You are using it at your own risk.");
    tk::App().ShowMessage("This is a free software.");
    tk::App().ShowMessage("Not yet configured. Standard settings will be selected.");
    auto_start.SetChecked(true);
    auto_.SetAutoRun(true);
    auto_skan_rejestru.SetChecked(true);
    skanuj_rejestr.SetChecked(true);
    SaveConfiguration();
    AllowOwnCommand(*white_list, platform.system.ExePath());
  }

  auto_start.SetChecked(read("glowna", "auto_start"));
  auto_.SetAutoRun(auto_start.Checked());

  auto_skan_rejestru.SetChecked(read("glowna", "auto_skan_rejestru"));
  auto_skan_pamieci.SetChecked(read("glowna", "auto_skan_pamieci"));
  auto_skan_koncowy.SetChecked(read("glowna", "auto_skan_koncowy"));
  auto_skan_zywy.SetChecked(read("glowna", "auto_skan_zywy"));
  auto_skan_co_godzine.SetChecked(read("glowna", "auto_skan_co_godzine"));
  skanuj_rejestr.SetChecked(read("skan", "skanuj_rejestr"));
  skanuj_pamiec.SetChecked(read("skan", "skanuj_pamiec"));
  skanuj_cicho.SetChecked(read("skan", "skanuj_cicho"));
  skanuj_usun_cicho.SetChecked(read("skan", "skanuj_usun_cicho"));
}

void Tvelmain::SaveConfiguration() {
  if (!config) return;  // not opened yet: start-up has not got that far
  config->WriteString("glowna", "auto_start", FlagText(auto_start));
  config->WriteString("glowna", "auto_skan_rejestru", FlagText(auto_skan_rejestru));
  config->WriteString("glowna", "auto_skan_pamieci", FlagText(auto_skan_pamieci));
  config->WriteString("glowna", "auto_skan_koncowy", FlagText(auto_skan_koncowy));
  config->WriteString("glowna", "auto_skan_zywy", FlagText(auto_skan_zywy));
  config->WriteString("glowna", "auto_skan_co_godzine", FlagText(auto_skan_co_godzine));
  config->WriteString("skan", "skanuj_rejestr", FlagText(skanuj_rejestr));
  config->WriteString("skan", "skanuj_pamiec", FlagText(skanuj_pamiec));
  config->WriteString("skan", "skanuj_cicho", FlagText(skanuj_cicho));
  config->WriteString("glowna", "skonfigurowany", "1");
  config->WriteString("skan", "skanuj_usun_cicho", FlagText(skanuj_usun_cicho));
  tk::App().ShowMessage("Configuration saved.");
}

void Tvelmain::ShowProtectionLevel() {
  const int level = (auto_start.Checked() ? 30 : 0) + (auto_skan_rejestru.Checked() ? 25 : 0) +
                    (auto_skan_pamieci.Checked() ? 25 : 0) + (auto_skan_koncowy.Checked() ? 20 : 0);
  status.SetCaption("System Protection: " + std::to_string(level) + "%");
}

void Tvelmain::auto_startMouseUp() {
  tk::App().MessageBox(tk::MsgKind::Information, "Make sure you save changes.");
  ShowProtectionLevel();
}

void Tvelmain::auto_skan_rejestruMouseUp() { ShowProtectionLevel(); }
void Tvelmain::auto_skan_pamieciMouseUp() { ShowProtectionLevel(); }
void Tvelmain::auto_skan_koncowyMouseUp() { ShowProtectionLevel(); }

void Tvelmain::auto_skan_zywyMouseUp() {
  tk::App().MessageBox(tk::MsgKind::Information, "Save settings and restart program to apply changes.");
}

void Tvelmain::autoRegisterFailed() {
  // Once a run is enough: the next start tries again.
  if (autorun_failure_told_) return;
  autorun_failure_told_ = true;
  tk::App().MessageBox(tk::MsgKind::Warning,
                       "Veltrane could not register itself to start with Windows, so it will not start by itself "
                       "when Windows starts.");
}

void Tvelmain::Button7Click() { SaveConfiguration(); }
void Tvelmain::Button13Click() { SaveConfiguration(); }

}  // namespace app
