// The pages of the main window's page book, one class each: its controls,
// laid out as it is built, and its handlers. What the rest of the program
// reads or fills is public; the rest is the page's own.
#pragma once
#include <cstddef>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "components/propanel.h"
#include "registry/settings.h"
#include "toolkit/control.h"
#include "update/httpget.h"

namespace app {

class Tvelmain;

// A check box that shows a setting, and the setting.
struct SettingBox {
  tk::CheckBox* box;
  bool registry::Settings::*flag;
};

// Page glowna: the settings of the start and the scans, and "Scan now".
class MainPage : public tk::Page {
 public:
  MainPage(tk::PageBook& book, Tvelmain& w);
  // The boxes show the settings; each click on one writes it back.
  void Show(const registry::Settings& settings);

 private:
  Tvelmain& w_;
  components::TProPanel glowna_gora{this, "glowna_gora"};
  components::TProPanel glowna_gora_tytul{&glowna_gora, "glowna_gora_tytul"};
  tk::CheckBox auto_start{&glowna_gora, "auto_start"};
  tk::CheckBox auto_skan_rejestru{&glowna_gora, "auto_skan_rejestru"};
  tk::CheckBox auto_skan_pamieci{&glowna_gora, "auto_skan_pamieci"};
  tk::CheckBox auto_skan_koncowy{&glowna_gora, "auto_skan_koncowy"};
  tk::CheckBox auto_skan_zywy{&glowna_gora, "auto_skan_zywy"};
  tk::CheckBox auto_skan_co_godzine{&glowna_gora, "auto_skan_co_godzine"};
  const std::array<SettingBox, 6> setting_boxes_{{
      {&auto_start, &registry::Settings::auto_start},
      {&auto_skan_rejestru, &registry::Settings::auto_skan_rejestru},
      {&auto_skan_pamieci, &registry::Settings::auto_skan_pamieci},
      {&auto_skan_koncowy, &registry::Settings::auto_skan_koncowy},
      {&auto_skan_zywy, &registry::Settings::auto_skan_zywy},
      {&auto_skan_co_godzine, &registry::Settings::auto_skan_co_godzine},
  }};

  void auto_startMouseUp();
  void auto_skan_zywyMouseUp();
  void Button7Click();  // "Save"
  void Button1Click();  // "Scan now": only changes the page

  tk::Button Button7{&glowna_gora, "Button7"};
  components::TProPanel glowna_dol{this, "glowna_dol"};
  components::TProPanel glowna_dol_tytul{&glowna_dol, "glowna_dol_tytul"};
  tk::Button Button1{&glowna_dol, "Button1"};
  tk::Label Label1{&glowna_dol, "Label1"};
  tk::Label Label2{&glowna_dol, "Label2"};
};

// Page skan: the options of "Scan now", its progress and the button.
class ScanPage : public tk::Page {
 public:
  ScanPage(tk::PageBook& book, Tvelmain& w);
  // Where a scan has come to: value or process `position` of 0..max.
  void Progress(int position, int max);
  void Show(const registry::Settings& settings);

 private:
  Tvelmain& w_;
  components::TProPanel skan_panel{this, "skan_panel"};
  components::TProPanel skan_tytul{&skan_panel, "skan_tytul"};
  tk::CheckBox skanuj_rejestr{&skan_panel, "skanuj_rejestr"};
  tk::CheckBox skanuj_pamiec{&skan_panel, "skanuj_pamiec"};
  tk::CheckBox skanuj_usun_cicho{&skan_panel, "skanuj_usun_cicho"};
  tk::CheckBox skanuj_cicho{&skan_panel, "skanuj_cicho"};  // invisible, disabled
  const std::array<SettingBox, 4> setting_boxes_{{
      {&skanuj_rejestr, &registry::Settings::skanuj_rejestr},
      {&skanuj_pamiec, &registry::Settings::skanuj_pamiec},
      {&skanuj_usun_cicho, &registry::Settings::skanuj_usun_cicho},
      {&skanuj_cicho, &registry::Settings::skanuj_cicho},
  }};
  tk::Button Button13{&skan_panel, "Button13"};  // "Save"
  tk::ProgressBar postep{&skan_panel, "postep"};
  tk::Button Button12{&skan_panel, "Button12"};  // "Cancel", never enabled
  tk::Button Button11{&skan_panel, "Button11"};  // "Scan now"
  tk::Label Label4{&skan_panel, "Label4"};
  tk::Label Label5{&skan_panel, "Label5"};
  tk::Label Label7{&skan_panel, "Label7"};
};

// Page rejestr: the registry entries the scans removed, to be put back.
class RemovedPage : public tk::Page {
 public:
  RemovedPage(tk::PageBook& book, Tvelmain& w);
  void Clear();
  // One line per record, with the statistics slot it stands for.
  void Add(const std::string& line, int slot);

 private:
  void Button9Click();  // "Recover"

  Tvelmain& w_;
  components::TProPanel rejestr_panel{this, "rejestr_panel"};
  components::TProPanel rejestr_tytul{&rejestr_panel, "rejestr_tytul"};
  tk::ListBox list_rejestr{&rejestr_panel, "list_rejestr"};
  tk::Button Button9{&rejestr_panel, "Button9"};
  tk::Label Label8{&rejestr_panel, "Label8"};
  std::vector<int> slots_;
};

// Page smietnik: the programs in the trashcan, to be put back or deleted.
class TrashcanPage : public tk::Page {
 public:
  TrashcanPage(tk::PageBook& book, Tvelmain& w);
  void Clear() { list_smietnik.Clear(); }
  void Add(const std::string& path) { list_smietnik.AddItem(path); }

 private:
  void Button21Click();  // "Empty"
  void Button10Click();  // "Recover"

  Tvelmain& w_;
  components::TProPanel smietnik_panel{this, "smietnik_panel"};
  components::TProPanel smietnik_tytul{&smietnik_panel, "smietnik_tytul"};
  tk::ListBox list_smietnik{&smietnik_panel, "list_smietnik"};
  tk::Button Button21{&smietnik_panel, "Button21"};
  tk::Button Button10{&smietnik_panel, "Button10"};
  tk::Label Label9{&smietnik_panel, "Label9"};
};

// Page pamiec: the running programs, with "Stop", "Trash" and "Disallow".
class MemoryPage : public tk::Page {
 public:
  MemoryPage(tk::PageBook& book, Tvelmain& w);
  void Show(const std::vector<std::string>& paths);
  // What the list shows now: what the memory scan works through.
  const std::vector<std::string>& Paths() const { return list_pamiec.Items(); }

 private:
  void Button14Click();  // "Stop"
  void Button15Click();  // "Trash"
  void Button20Click();  // "Disallow"
  // Runs action on the selected path, then lists the programs running now.
  template <class Action>
  void OnSelected(Action action);

  Tvelmain& w_;
  components::TProPanel pamiec_panel{this, "pamiec_panel"};
  components::TProPanel pamiec_tytul{&pamiec_panel, "pamiec_tytul"};
  tk::Label Label3{&pamiec_panel, "Label3"};
  tk::ListBox list_pamiec{&pamiec_panel, "list_pamiec"};
  tk::Button Button20{&pamiec_panel, "Button20"};
  tk::Button Button15{&pamiec_panel, "Button15"};
  tk::Button Button14{&pamiec_panel, "Button14"};
  tk::Label Label10{&pamiec_panel, "Label10"};
};

// Page listy: the white list above, the black list below.
class ListsPage : public tk::Page {
 public:
  ListsPage(tk::PageBook& book, Tvelmain& w);
  void Clear();
  void AddAllowed(const std::string& line) { list_pozwolonych.AddItem(line); }
  void AddForbidden(const std::string& line) { list_zabronionych.AddItem(line); }
  // The administrator's entries, after the person's own, each marked.
  void AddPolicy(const std::vector<std::string>& allowed, const std::vector<std::string>& forbidden);

 private:
  void Button18Click();  // "Remove" on the white list
  void Button19Click();  // "Remove" on the black list
  void Button22Click();  // "Refresh All"
  // Whether the line selected is the policy's, which is refused with a word
  // to the person: "Remove" cannot take it off.
  bool RefusedAsPolicy(const tk::ListBox& list, size_t policy_from);

  Tvelmain& w_;
  components::TProPanel listy_gora{this, "listy_gora"};
  components::TProPanel listy_gora_tytul{&listy_gora, "listy_gora_tytul"};
  tk::ListBox list_pozwolonych{&listy_gora, "list_pozwolonych"};
  tk::Button Button22{&listy_gora, "Button22"};
  tk::Button Button18{&listy_gora, "Button18"};
  components::TProPanel listy_dol{this, "listy_dol"};
  components::TProPanel listy_dol_tytul{&listy_dol, "listy_dol_tytul"};
  tk::ListBox list_zabronionych{&listy_dol, "list_zabronionych"};
  tk::Button Button19{&listy_dol, "Button19"};
  tk::Label Label11{&listy_gora, "Label11"};
  tk::Label Label12{&listy_dol, "Label12"};
  // Where the policy's lines begin in each list box; past the end while it
  // shows none.
  size_t allowed_policy_from_ = SIZE_MAX;
  size_t forbidden_policy_from_ = SIZE_MAX;
};

// Page update: the check against the update site, and the download of the
// archive, whose end hands over to the person and ends the program.
class UpdatePage : public tk::Page {
 public:
  UpdatePage(tk::PageBook& book, Tvelmain& w);
  void SetUpdateSite(const std::string& url);

 private:
  void Button24Click();     // "Check for updates"
  void downloadbtnClick();  // "Download"
  void get_fileProgress(update::THTTPGet* Sender, int32_t TotalSize, int32_t Readed);
  void get_fileDoneFile(update::THTTPGet* Sender, const std::string& FileName, int32_t FileSize);
  void get_fileError(update::THTTPGet* Sender);

  Tvelmain& w_;
  std::string update_site_;
  components::TProPanel update_panel{this, "update_panel"};
  components::TProPanel update_tytul{&update_panel, "update_tytul"};
  tk::Label updwersja{&update_panel, "updwersja"};
  tk::Label updrozmiar{&update_panel, "updrozmiar"};
  tk::Label updrelease{&update_panel, "updrelease"};
  tk::ProgressBar sciaganie{&update_panel, "sciaganie"};
  tk::Button downloadbtn{&update_panel, "downloadbtn"};
  tk::Button Button24{&update_panel, "Button24"};
  // Description, details heading, three row captions, connection note,
  // "Update progress:".
  tk::Label Label13{&update_panel, "Label13"}, Label14{&update_panel, "Label14"}, Label15{&update_panel, "Label15"},
      Label16{&update_panel, "Label16"}, Label17{&update_panel, "Label17"}, Label18{&update_panel, "Label18"},
      Label19{&update_panel, "Label19"};

 public:
  update::THTTPGet get_file;  // the update archive
};

}  // namespace app
