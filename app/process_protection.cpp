// The main window's side of process protection: its operations hand the
// work to the engines in process/.
#include "app/engines.h"
#include "app/velmainfrm.h"
#include "process/memory_scan.h"
#include "process/process_list.h"
#include "process/trashcan.h"

namespace app {

void Tvelmain::RefreshProcessList() { pamiec.Show(process::ProcessPaths(platform.processes)); }

void Tvelmain::ScanMemory() {
  // Under the same gate as the registry scans: one alert at a time.
  scan_gate.Run(registry::ScanRequest::MemoryScan, [this] { MemoryScanNow(); });
}

void Tvelmain::MemoryScanNow() {
  Engines host(*this);
  // The list may be rebuilt while the scan runs (every stop does that): the
  // scan keeps to the processes it started with.
  const std::vector<std::string> paths = pamiec.Paths();
  process::ScanMemory(host, paths);
}

void Tvelmain::StopProcess(const std::string& path) {
  Engines host(*this);
  process::StopProcess(host, path);
}

void Tvelmain::BlockProgram(const std::string& text) {
  Engines host(*this);
  process::BlockProgram(host, text);
}

void Tvelmain::MoveToTrashcan(const std::string& path) {
  Engines host(*this);
  process::MoveToTrashcan(host, path);
}

}  // namespace app
