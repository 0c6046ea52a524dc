// Page rejestr: the autostart entries the scans deleted, and "Recover",
// which puts the selected one back into the registry.
#include "app/velmainfrm.h"
#include "registry/undo.h"
#include "toolkit/error.h"

namespace app {
namespace {

class UndoAdapter : public registry::UndoHost {
 public:
  explicit UndoAdapter(Tvelmain& w) : w_(w) {}

  platform::Registry& Registry() override { return w_.platform.registry; }
  registry::IniStore& Statistics() override {
    if (!w_.statistics) throw tk::Error("The data files are not open yet.");
    return *w_.statistics;
  }
  bool PauseMonitor() override {
    const bool watching = w_.mon_HKLM.Watching();
    w_.mon_HKLM.StopMonitor();
    return watching;
  }
  void ResumeMonitor() override { w_.StartMonitor(); }

 private:
  Tvelmain& w_;
};

}  // namespace

void Tvelmain::ConnectRemovedPage() {
  Button25.OnClick = [this] { Button25Click(); };
  Button9.OnClick = [this] { Button9Click(); };
}

void Tvelmain::Button25Click() {
  RefreshLists();
  silnik.ShowPage(rejestr);
}

void Tvelmain::Button9Click() {
  const int index = list_rejestr.ItemIndex();
  if (index < 0 || size_t(index) >= rejestr_slots.size()) return;
  // Taken now: the list may be refilled while a question is open.
  const int slot = rejestr_slots[size_t(index)];
  const std::string text = list_rejestr.SelectedText();
  UndoAdapter host(*this);
  // The list shows the file as it is now, whatever happened, even when
  // writing failed half-way.
  try {
    registry::RecoverRemoval(host, slot, text);
  } catch (...) {
    RefreshLists();
    throw;
  }
  RefreshLists();
}

}  // namespace app
