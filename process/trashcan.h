// The trashcan (programs moved aside, to be moved back or deleted for good)
// and the black list's additions.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include "platform/system.h"
#include "registry/context.h"
#include "registry/data_files.h"

namespace process {

using registry::TrashcanFolder;
// Where the trashcan keeps a file of that name. None when the name would not
// be a file of the folder ("", ".", "..", a name with a folder in it).
std::optional<std::string> TrashPathOfName(std::string_view folder, std::string_view name);
// Where the trashcan keeps the program that lay at path, by its file name.
std::optional<std::string> TrashPathOf(std::string_view folder, const std::string& path);
// The name with " (n)" before its extension: "agent.exe" -> "agent (2).exe".
std::string NumberedName(std::string_view name, int n);

// Stops the program, moves its file into the trashcan folder under a name no
// other entry has, and records the previous path and that name. Nothing is
// stopped when the trashcan is full or Windows needs the program. The file
// is opened before the stop and moved only if it is still the file at the
// path shown (no folder on the way swapped for a link meanwhile), then
// copied and deleted through that opening. Nothing is recorded unless the
// trashcan got the file; nothing is moved while the program still runs.
// True when the file is in the trashcan and on its list.
bool MoveToTrashcan(registry::Context& host, const std::string& path);
// The same once the person has asked for the program to be stopped: it is
// stopped also when its file cannot go into the trashcan.
bool StopAndMoveToTrashcan(registry::Context& host, const std::string& path);

// Puts text on the black list in its lowest free slot, unless the list could
// not give it back whole (too long, a line break) or Windows needs the
// program; the user is told either way.
void BlockProgram(registry::Context& host, const std::string& text);

inline constexpr const char* kNotTrashedRunning =
    "This program could not be stopped, so it was not moved to the trashcan.";
inline constexpr const char* kNotTrashedFolderChanged =
    "This program's folder changed after it was shown, so it was not moved to the trashcan.";
inline constexpr const char* kNotRecoveredFolderChanged =
    "This program's folder changed after it was shown, so it was not put back.";
inline constexpr const char* kNotBlockable =
    "This entry could not be put on the list of forbidden processes: it is too long or holds a line break.";

// "Recover" and "Empty" on page smietnik, for the path a line of its list
// shows. Recover puts a file back only along plain folders, never over
// another file.
void RecoverFromTrashcan(registry::Context& host, const std::string& listed_path);
void EmptyFromTrashcan(registry::Context& host, const std::string& listed_path);

}  // namespace process
