// Operations whose work is not written yet.
#include "app/velmainfrm.h"

namespace app {

void Tvelmain::StartMonitor() {}

}  // namespace app
