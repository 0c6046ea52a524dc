// How the process engines read paths and black-list entries.
#pragma once
#include <string_view>

namespace process {

// The text after the last '\' or ':', or the whole text when there is neither.
std::string_view FileNameOf(std::string_view path);

// Equal once the ASCII letters a-z are folded to upper case; every other byte
// (the letters of other code pages included) must be the same as it stands.
bool SameAsciiCaseless(std::string_view a, std::string_view b);

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

// Windows' own programs that run other programs' commands (rundll32.exe,
// cmd.exe, svchost.exe, ...) when they lie in the Windows folder (given
// without a trailing backslash) or below it.
bool IsWindowsHost(std::string_view path, std::string_view windows_folder);
// The processes Windows cannot run without (smss.exe, csrss.exe, wininit.exe,
// winlogon.exe, services.exe, lsass.exe), by their place in the system folder.
bool IsWindowsCritical(std::string_view path, std::string_view windows_folder);

// Whether a black-list entry forbids the program at path: the entry is that
// path, or it names it by its executable part. A command line run by one of
// Windows' host programs names the command, not the host: it never forbids
// the host.
bool EntryForbids(std::string_view entry, std::string_view path, std::string_view windows_folder);

}  // namespace process
