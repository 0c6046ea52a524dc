// Registry protection operations whose work is not written yet.
#include "app/velmainfrm.h"

namespace app {

void Tvelmain::ShowRegistryDoctor() {}
void Tvelmain::FullRegistryScan() {}
void Tvelmain::ScanLocalMachineRun() {}

}  // namespace app
