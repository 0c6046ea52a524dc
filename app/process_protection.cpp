// Process protection operations whose work is not written yet.
#include "app/velmainfrm.h"

namespace app {

void Tvelmain::RefreshProcessList() {}
void Tvelmain::ScanMemory() {}
void Tvelmain::StopProcess(const std::string& path) {}
void Tvelmain::BlockProgram(const std::string& text) {}
void Tvelmain::MoveToTrashcan(const std::string& path) {}

}  // namespace app
