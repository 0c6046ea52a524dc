// The buttons of page pamiec, acting on the selected line of list_pamiec.
#pragma once
#include "process/protection_host.h"

namespace process {

void StopSelected(ProtectionHost& host);      // "Stop"
void TrashSelected(ProtectionHost& host);     // "Trash"
void DisallowSelected(ProtectionHost& host);  // "Disallow"

}  // namespace process
