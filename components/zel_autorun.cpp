#include "components/zel_autorun.h"

namespace components {

TzelAutoRun::TzelAutoRun(platform::Platform platform, TzelAutoExecKind kind)
    : platform_(platform), kind_(kind) {}

void TzelAutoRun::SetAutoRun(bool on) { auto_run_ = on; }

}  // namespace components
