// The memory scan: every listed process against the black list, each match
// stopped silently or put to the user in the forbidden-process alert.
#pragma once
#include <string>
#include <string_view>
#include <vector>
#include "process/names.h"
#include "registry/context.h"

namespace process {

// Works through the running programs' paths as the process list showed them
// when it started.
void ScanMemory(registry::Context& host, const std::vector<std::string>& paths);

inline constexpr const char* kCouldNotStop = "Could not stop this process. You need to do this manually.";

// Stops every process whose executable is path (the same ASCII-caseless
// comparison as the scan), each checked and stopped through one handle, and
// waits for them to be gone while the window keeps working; then rebuilds
// the process list. A process whose path cannot be read is left alone: a
// look-alike file name elsewhere must never cost the system one of its own
// processes. Nor is one that Windows needs (WindowsNeeds). False when a
// process of that path may still be running; the person has then been told
// why, with failure when a process would not stop.
bool StopProcess(registry::Context& host, const std::string& path, std::string_view failure = kCouldNotStop);

// Whether Windows needs the program at path to keep running: one of its
// critical programs by place, or a running process of that path that
// Windows marks critical. Such a program is never stopped, trashed or
// black-listed.
bool WindowsNeeds(platform::Processes& processes, const std::string& path);

// Where this Windows keeps its own programs, as Windows names them.
WindowsPlaces WindowsPlacesOf(platform::Processes& processes);

// What the user is told when an action would hit such a program.
inline constexpr const char* kWindowsNeedsIt =
    "This program is part of Windows and must keep running. Veltrane will not stop it, move it to the "
    "trashcan or put it on the list of forbidden processes.";

}  // namespace process
