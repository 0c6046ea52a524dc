// The pages that show lists: the white and black lists, the removed
// registry entries, the trashcan and the running programs, with their
// buttons.
#include "app/look.h"
#include "app/pages.h"
#include "app/velmainfrm.h"
#include "process/memory_scan.h"
#include "process/trashcan.h"
#include "registry/data_files.h"
#include "registry/lists_page.h"
#include "registry/policy.h"
#include "registry/undo.h"
#include "toolkit/application.h"

namespace app {

using namespace look;

namespace {

constexpr tk::Color kRegistryBack = Rgb(0xFF, 0xFF, 0xEC), kRegistryText = Rgb(0xF4, 0x79, 0x3E),
                    kRegistryTitleBack = Rgb(0xFE, 0xB7, 0x12), kRegistryTitleText = Rgb(0xFD, 0xE4, 0xCC);
constexpr tk::Color kMemoryBack = Rgb(0xFE, 0xFF, 0xF0), kMemoryText = Rgb(0x22, 0x5B, 0x86),
                    kMemoryTitleBack = Rgb(0x22, 0x5B, 0x86), kMemoryTitleText = Rgb(0xFC, 0xF7, 0xCF),
                    kWarningText = Rgb(0xE2, 0x76, 0x34);
constexpr tk::Color kWhiteBack = Rgb(0xFF, 0xFF, 0xF7), kWhiteText = Rgb(0x21, 0x31, 0x72),
                    kWhiteTitleBack = Rgb(0xF9, 0xB3, 0x0F), kWhiteTitleText = Rgb(0x22, 0x58, 0x8E);
constexpr tk::Color kBlackBack = Rgb(0x0C, 0x0B, 0x0D), kBlackTitleBack = Rgb(0x61, 0x67, 0x5C),
                    kBlackTitleText = Rgb(0xEB, 0xF9, 0xFA), kBlackListBack = Rgb(0xE7, 0xEE, 0xF1),
                    kBlackListText = Rgb(0x4B, 0x4B, 0x4B);

// The lists show the files as they are now, whatever the work did, even
// when it failed half-way.
template <class F>
void ThenRefresh(Tvelmain& w, F work) {
  try {
    work();
  } catch (...) {
    w.RefreshLists();
    throw;
  }
  w.RefreshLists();
}

}  // namespace

// ---- Page listy

ListsPage::ListsPage(tk::PageBook& book, Tvelmain& w) : tk::Page(&book, "listy"), w_(w) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(listy_gora, 0, 0, width, 185, kWhiteBack, Verdana(kWhiteText));
  Title(listy_gora_tytul, "Allowed List (The White List)", kWhiteTitleBack, Verdana(kWhiteTitleText, true));
  Place(Label11, 10, 25, width - 20, 14, "Here is a list of all allowed registry entries.");
  List(list_pozwolonych, 10, 43, width - 20, 105);
  RightButtons(width, 154, {{&Button18, "Remove"}, {&Button22, "Refresh All"}});
  Bar(listy_dol, 0, 187, width, kBookHeight - 187, kBlackBack, Verdana(kBlackTitleText));
  Title(listy_dol_tytul, "Not Allowed List (The Black List)", kBlackTitleBack, Verdana(kBlackTitleText, true));
  Place(Label12, 10, 25, width - 20, 14, "The list of all programs you do not allow to run.");
  Place(list_zabronionych, 10, 43, width - 20, 71);
  list_zabronionych.SetColor(kBlackListBack);
  list_zabronionych.SetFont(Verdana(kBlackListText));
  RightButtons(width, 120, {{&Button19, "Remove"}});

  Button18.OnClick = [this] { Button18Click(); };
  Button19.OnClick = [this] { Button19Click(); };
  Button22.OnClick = [this] { Button22Click(); };

  w_.Hover(list_pozwolonych, "Shows all the resistry entries that were confirmed legitimate.");
  w_.Hover(Button22, "Refresh the lists.");
  w_.Hover(Button18, "Remove selected item from the list.");
  w_.Hover(list_zabronionych, "Shows all the programs that waste your system resources.");
  w_.Hover(Button19, "Remove selected item form the list.");
}

void ListsPage::Clear() {
  list_pozwolonych.Clear();
  list_zabronionych.Clear();
  allowed_policy_from_ = forbidden_policy_from_ = SIZE_MAX;
}

void ListsPage::AddPolicy(const std::vector<std::string>& allowed, const std::vector<std::string>& forbidden) {
  const std::string mark(registry::policy::kMark);
  allowed_policy_from_ = list_pozwolonych.Items().size();
  for (const std::string& entry : allowed) list_pozwolonych.AddItem(entry + mark);
  forbidden_policy_from_ = list_zabronionych.Items().size();
  for (const std::string& entry : forbidden) list_zabronionych.AddItem(entry + mark);
}

bool ListsPage::RefusedAsPolicy(const tk::ListBox& list, size_t policy_from) {
  const int index = list.ItemIndex();
  if (index < 0 || size_t(index) < policy_from) return false;
  tk::App().MessageBox(tk::MsgKind::Warning, std::string(registry::policy::kCannotRemove));
  return true;
}

void ListsPage::Button18Click() {
  if (RefusedAsPolicy(list_pozwolonych, allowed_policy_from_)) return;
  ThenRefresh(w_, [this] {
    if (list_pozwolonych.ItemIndex() < 0 || !w_.protection().DataFilesOpen()) return;
    // Taken now: the list may be refilled while the question is open.
    const std::string text = list_pozwolonych.SelectedText();
    Protection& host = w_.protection();
    registry::RemoveListEntry(host, text, host.Data().white_list, registry::white_list::kCommand,
                              registry::white_list::kLastSlot);
  });
}

void ListsPage::Button19Click() {
  if (RefusedAsPolicy(list_zabronionych, forbidden_policy_from_)) return;
  ThenRefresh(w_, [this] {
    if (list_zabronionych.ItemIndex() < 0 || !w_.protection().DataFilesOpen()) return;
    const std::string text = list_zabronionych.SelectedText();
    Protection& host = w_.protection();
    registry::RemoveListEntry(host, text, host.Data().black_list, registry::black_list::kProgram,
                              registry::kLastSlot);
  });
}

void ListsPage::Button22Click() { w_.RefreshLists(); }

// ---- Page rejestr

RemovedPage::RemovedPage(tk::PageBook& book, Tvelmain& w) : tk::Page(&book, "rejestr"), w_(w) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(rejestr_panel, 0, 0, width, kBookHeight, kRegistryBack, Verdana(kRegistryText));
  Title(rejestr_tytul, "Removed Registry Sections", kRegistryTitleBack, Verdana(kRegistryTitleText, true));
  Place(Label8, 10, 28, width - 20, 42,
        "Here is the list of all removed registry sections. If you\r\ndecided that any of them is necessary, "
        "select it and click\r\non the \"Recover\" button.");
  List(list_rejestr, 10, 76, width - 20, 220);
  RightButtons(width, 304, {{&Button9, "Recover"}});
  Button9.OnClick = [this] { Button9Click(); };
}

void RemovedPage::Clear() {
  list_rejestr.Clear();
  slots_.clear();
}

void RemovedPage::Add(const std::string& line, int slot) {
  list_rejestr.AddItem(line);
  slots_.push_back(slot);
}

void RemovedPage::Button9Click() {
  const int index = list_rejestr.ItemIndex();
  if (index < 0 || size_t(index) >= slots_.size()) return;
  // Taken now: the list may be refilled while a question is open.
  const int slot = slots_[size_t(index)];
  const std::string text = list_rejestr.SelectedText();
  Protection& host = w_.protection();
  ThenRefresh(w_, [&] { registry::RecoverRemoval(host, slot, text); });
}

// ---- Page smietnik

TrashcanPage::TrashcanPage(tk::PageBook& book, Tvelmain& w) : tk::Page(&book, "smietnik"), w_(w) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(smietnik_panel, 0, 0, width, kBookHeight, kWindowBack, Verdana(kWindowText));
  Title(smietnik_tytul, "Trashcan", kDarkTitleBack, Verdana(kWindowText, true));
  Place(Label9, 10, 28, width - 20, 42,
        "If you removed something important accidentally, it can\r\nbe recovered here. Just click on it in the "
        "list and then \r\nclick on the \"Recover\" button.");
  List(list_smietnik, 10, 76, width - 20, 220);
  RightButtons(width, 304, {{&Button10, "Recover"}, {&Button21, "Empty"}});
  Button21.OnClick = [this] { Button21Click(); };
  Button10.OnClick = [this] { Button10Click(); };

  w_.Hover(list_smietnik, "Shows all the programs (with their access paths) that you removed from the system.");
  w_.Hover(Button21, "Deletes selected program permanently.");
  w_.Hover(Button10, "Moves selscted program to the previous directory.");
}

void TrashcanPage::Button10Click() {
  if (list_smietnik.ItemIndex() < 0) return;
  Protection& host = w_.protection();
  process::RecoverFromTrashcan(host, list_smietnik.SelectedText());
}

void TrashcanPage::Button21Click() {
  if (list_smietnik.ItemIndex() < 0) return;
  Protection& host = w_.protection();
  process::EmptyFromTrashcan(host, list_smietnik.SelectedText());
}

// ---- Page pamiec

MemoryPage::MemoryPage(tk::PageBook& book, Tvelmain& w) : tk::Page(&book, "pamiec"), w_(w) {
  const int width = kBookWidth;
  Place(*this, 0, 0, width, kBookHeight);
  Bar(pamiec_panel, 0, 0, width, kBookHeight, kMemoryBack, Verdana(kMemoryText));
  Title(pamiec_tytul, "Memory Usage", kMemoryTitleBack, Verdana(kMemoryTitleText, true));
  Place(Label10, 10, 26, width - 20, 42,
        "This tab shows you all the processes that are currently running in your system. You can stop them by "
        "clicking on the \"Stop\" button.");
  Label10.SetWordWrap(true);
  Place(Label3, 10, 70, width - 14, 56,
        "DO NOT use this option unless you know what you\r\nare doing. If you stop a system vital process\r\n"
        "Windows may be restarted or stop responding. This\r\nmay lead to data loss. Feel warned.");
  Label3.SetFont(Verdana(kWarningText, true));
  List(list_pamiec, 10, 132, width - 20, 164);
  RightButtons(width, 304, {{&Button14, "Stop"}, {&Button15, "Trash"}, {&Button20, "Disallow"}});
  Button14.OnClick = [this] { Button14Click(); };
  Button15.OnClick = [this] { Button15Click(); };
  Button20.OnClick = [this] { Button20Click(); };

  w_.Hover(list_pamiec, "Shows all the programs that are currently running in your system.");
  w_.Hover(Label3, "Beware everything on this page!!! Remember, that you are using this program at your risk.");
  w_.Hover(Button20,
           "Add this program to the list of disallowed processes. Disallowed program will be stopped if it starts "
           "with your system.");
  w_.Hover(Button15, "Move this program to the trashcan.");
  w_.Hover(Button14, "Stop this program immediately.");
}

void MemoryPage::Show(const std::vector<std::string>& paths) {
  list_pamiec.Clear();
  for (const std::string& path : paths) list_pamiec.AddItem(path);
}

template <class Action>
void MemoryPage::OnSelected(Action action) {
  if (list_pamiec.ItemIndex() < 0) {
    tk::App().MessageBox(tk::MsgKind::Error, "Select an item first.");
  } else {
    const std::string path = list_pamiec.SelectedText();
    Protection& host = w_.protection();
    action(host, path);
  }
  // Never a process that has gone.
  w_.RefreshProcessList();
}

void MemoryPage::Button14Click() {
  OnSelected([](Protection& host, const std::string& path) { process::StopProcess(host, path); });
}

void MemoryPage::Button15Click() {
  OnSelected([](Protection& host, const std::string& path) {
    // Refused before the question, not after it.
    if (process::WindowsNeeds(host.Platform().processes, path)) {
      host.Warn(process::kWindowsNeedsIt);
      host.Log(events::kRefusedToAct, {path});
    } else if (host.Tell(tk::MsgKind::Warning, "Are you sure that you want to move this program to trashcan?",
                         tk::MsgButtons::YesNo) == tk::ModalResult::Yes) {
      process::MoveToTrashcan(host, path);
    }
  });
}

void MemoryPage::Button20Click() {
  OnSelected([](Protection& host, const std::string& path) { process::BlockProgram(host, path); });
}

}  // namespace app
