// Operations whose work is not written yet: the registry change monitor.
#include "app/velmainfrm.h"

namespace app {

void Tvelmain::StartMonitor() {}

}  // namespace app
