#include "process/memory_page.h"

#include <functional>
#include <string>

#include "process/memory_scan.h"
#include "process/process_list.h"
#include "process/trashcan.h"
#include "toolkit/application.h"

namespace process {
namespace {

// Runs action on the selected path; the list is rebuilt whatever happened,
// so that it never shows a process that has gone.
void OnSelected(ProtectionHost& host, const std::function<void(const std::string&)>& action) {
  tk::ListBox& list = host.ProcessList();
  if (list.ItemIndex() < 0) {
    tk::App().MessageBox(tk::MsgKind::Error, "Select an item first.");
  } else {
    const std::string path = list.SelectedText();
    action(path);
  }
  RefreshProcessList(host.Processes(), list);
}

}  // namespace

void StopSelected(ProtectionHost& host) {
  OnSelected(host, [&](const std::string& path) { StopProcess(host, path); });
}

void TrashSelected(ProtectionHost& host) {
  OnSelected(host, [&](const std::string& path) {
    // Refused before the question, not after it.
    if (WindowsNeeds(host.Processes(), path)) {
      tk::App().MessageBox(tk::MsgKind::Warning, kWindowsNeedsIt);
    } else if (tk::App().MessageBox(tk::MsgKind::Warning, "Are you sure that you want to move this program to trashcan?",
                             tk::MsgButtons::YesNo) == tk::ModalResult::Yes)
      MoveToTrashcan(host, path);
  });
}

void DisallowSelected(ProtectionHost& host) {
  OnSelected(host, [&](const std::string& path) { BlockProgram(host, path); });
}

}  // namespace process
