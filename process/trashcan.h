// The trashcan (programs moved aside, to be moved back or deleted for good)
// and the black list's additions.
#pragma once
#include <optional>
#include <string>
#include "process/protection_host.h"
#include "toolkit/control.h"

namespace process {

constexpr const char* kTrashcanFolder = "C:\\Program Files\\Quorvik\\Veltrane\\Trashcan\\";

// Where the trashcan keeps the program that lay at path: its file name in the
// trashcan folder. None when that name would not be a file of the folder
// ("", ".", "..", or a name Windows would split at '/').
std::optional<std::string> TrashPathOf(const std::string& path);

// Stops the program, moves its file into the trashcan folder and records the
// previous path. Nothing is recorded unless the trashcan got the file.
void MoveToTrashcan(ProtectionHost& host, const std::string& path);

// Puts text on the black list in its lowest free slot.
void BlockProgram(ProtectionHost& host, const std::string& text);

// "Recover" and "Empty" on page smietnik, for the selected line of list.
void RecoverSelected(ProtectionHost& host, const tk::ListBox& list);
void EmptySelected(ProtectionHost& host, const tk::ListBox& list);

}  // namespace process
