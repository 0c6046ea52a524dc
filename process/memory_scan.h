// The memory scan: every listed process against the black list, each match
// stopped silently or put to the user in the forbidden-process alert.
#pragma once
#include <string>
#include "process/protection_host.h"

namespace process {

// Works through the lines of list_pamiec as they stand when it starts.
void ScanMemory(ProtectionHost& host);

// Stops every process whose executable is path (the same ASCII-caseless
// comparison as the scan), then rebuilds the process list. A process whose
// path cannot be read is left alone: a look-alike file name elsewhere must
// never cost the system one of its own processes.
void StopProcess(ProtectionHost& host, const std::string& path);

}  // namespace process
