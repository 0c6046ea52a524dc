// How the process engines read paths and black-list entries.
#pragma once
#include <string>
#include <string_view>
#include "platform/text.h"

namespace process {

// The text after the last '\' or ':', or the whole text when there is neither.
std::string_view FileNameOf(std::string_view path);

using platform::SameAsciiCaseless;

// The executable a black-list entry names. The registry alert black-lists a
// whole command line, so: the text inside the leading quotes when the entry
// starts with a quote; otherwise the text up to and including the first
// ".exe" (any case) that the end, a blank or a quote follows, so that a
// folder such as "my.executables" does not end it; otherwise the whole entry.
std::string_view ExecutablePart(std::string_view entry);

// The entry is the path itself, or its executable part is (both compared as
// SameAsciiCaseless does), in time that depends on the path only: the scan
// makes this test for every process and every slot, and command lines may be
// long.
bool EntryNamesProgram(std::string_view entry, std::string_view path);

// Where Windows keeps its own programs: the Windows folder as Windows names
// it (a trailing backslash does not matter), and whether Windows is 64-bit,
// where SysWOW64 beside System32 holds its 32-bit programs.
struct WindowsPlaces {
  std::string folder;
  bool has_syswow64 = false;
};

// Windows' own programs that run other programs' commands, at their own
// places only: rundll32.exe, cmd.exe, svchost.exe, ... in the system folders,
// powershell.exe in their WindowsPowerShell\v1.0 folders and explorer.exe in
// the Windows folder. A namesake anywhere else, even in a folder of
// Windows that everyone may write to (Temp), is an ordinary program.
bool IsWindowsHost(std::string_view path, const WindowsPlaces& windows);
// The processes Windows cannot run without (smss.exe, csrss.exe, wininit.exe,
// winlogon.exe, services.exe, lsass.exe), by their place in the system folder.
bool IsWindowsCritical(std::string_view path, std::string_view windows_folder);

// Whether a black-list entry forbids the program at path: the entry is that
// path, or it names it by its executable part. A command line run by one of
// Windows' host programs names the command, not the host: it never forbids
// the host.
bool EntryForbids(std::string_view entry, std::string_view path, const WindowsPlaces& windows);

}  // namespace process
