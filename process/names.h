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
// ".exe" (any case); otherwise the whole entry.
std::string_view ExecutablePart(std::string_view entry);

// SameAsciiCaseless(ExecutablePart(entry), path), in time that depends on the
// path only: the scan makes this test for every process and every slot, and
// command lines may be long.
bool EntryNamesProgram(std::string_view entry, std::string_view path);

}  // namespace process
