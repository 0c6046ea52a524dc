#include "app/engines.h"

#include "process/pamiecalertfrm.h"
#include "process/trashcan.h"
#include "registry/rejestralertfrm.h"
#include "toolkit/application.h"
#include "toolkit/error.h"

namespace app {

void Engines::Pump() { tk::App().ProcessMessages(); }

tk::ModalResult Engines::Tell(tk::MsgKind kind, const std::string& text, tk::MsgButtons buttons) {
  return tk::App().MessageBox(kind, text, buttons);
}

registry::Decision Engines::Ask(const registry::Question& question) {
  registry::Trejestralert alert(question);
  return alert.Ask();
}

registry::Decision Engines::Ask(const std::string& path, bool forbidden_by_policy) {
  process::Tpamiecalert alert(path, forbidden_by_policy);
  return alert.Ask();
}

bool Engines::MoveToTrashcan(const std::string& path) {
  const bool moved = process::MoveToTrashcan(*this, path);
  w_.RefreshLists();
  return moved;
}

bool Engines::PauseMonitor() {
  const bool watching = w_.Watching();
  w_.StopMonitor();
  return watching;
}

void Engines::ShowBalloon(const std::string& text) {
  w_.tray.SetInfoText(text);
  w_.ShowBalloon();
}

DataFiles& Engines::Data() {
  // The start-up sequence opens them before anything can scan.
  if (!w_.files_) throw tk::Error("The data files are not open yet.");
  return *w_.files_;
}

}  // namespace app
