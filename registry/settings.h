// The person's settings: what the pages show and write back, and what the
// engines read. Stored per person in "C:\Windows\<user>_config.vlt" under
// the keys of kStoredSettings, whatever the widgets showing them are called.
#pragma once
#include <string_view>

namespace registry {

struct Settings {
  // Page glowna.
  bool auto_start = false;
  bool auto_skan_rejestru = false;
  bool auto_skan_pamieci = false;
  bool auto_skan_koncowy = false;
  bool auto_skan_zywy = false;  // "Live autostart test"
  bool auto_skan_co_godzine = false;
  // Page skan.
  bool skanuj_rejestr = false;
  bool skanuj_pamiec = false;
  bool skanuj_cicho = false;  // stored, never shown
  bool skanuj_usun_cicho = false;
  bool operator==(const Settings&) const = default;
};

// A setting's place in the configuration file.
struct StoredSetting {
  std::string_view section;
  std::string_view key;
  bool Settings::*flag;
};

// In the order they are saved; kConfigured goes before the last one.
inline constexpr StoredSetting kStoredSettings[] = {
    {"glowna", "auto_start", &Settings::auto_start},
    {"glowna", "auto_skan_rejestru", &Settings::auto_skan_rejestru},
    {"glowna", "auto_skan_pamieci", &Settings::auto_skan_pamieci},
    {"glowna", "auto_skan_koncowy", &Settings::auto_skan_koncowy},
    {"glowna", "auto_skan_zywy", &Settings::auto_skan_zywy},
    {"glowna", "auto_skan_co_godzine", &Settings::auto_skan_co_godzine},
    {"skan", "skanuj_rejestr", &Settings::skanuj_rejestr},
    {"skan", "skanuj_pamiec", &Settings::skanuj_pamiec},
    {"skan", "skanuj_cicho", &Settings::skanuj_cicho},
    {"skan", "skanuj_usun_cicho", &Settings::skanuj_usun_cicho},
};
// Written once the first run has chosen the standard settings.
inline constexpr StoredSetting kConfigured{"glowna", "skonfigurowany", nullptr};

// Where a setting is stored.
constexpr const StoredSetting& StoredAs(bool Settings::*flag) {
  for (const StoredSetting& stored : kStoredSettings)
    if (stored.flag == flag) return stored;
  return kConfigured;
}

}  // namespace registry
