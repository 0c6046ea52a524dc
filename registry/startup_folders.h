// The Startup folders: every file in them but desktop.ini starts at log-on,
// a shortcut as the command it holds, any other file as itself.
#pragma once
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace registry {

struct StartupPlace {
  platform::StartupFolder folder;
  std::string_view section_text;  // shown in the alert's "Registry section:" row
};

// In the order of the full scan, after the registry's places.
inline constexpr StartupPlace kStartupPlaces[] = {
    {platform::StartupFolder::CurrentUser, "Current user, startup folder."},
    {platform::StartupFolder::AllUsers, "All users, startup folder."},
};

// Windows' own file in every folder, which starts nothing.
bool IsFolderSettings(std::string_view file_name);

// What the file at path starts: for a shortcut its target, quoted when it
// holds a blank, then a blank and its arguments when it has any; for a
// shortcut without a file target, and any other file, the path itself.
std::string StartupCommand(platform::Shell& shell, const std::string& path);

}  // namespace registry
