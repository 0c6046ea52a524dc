// Which file an autostart entry starts, found from its command as Windows
// finds it: variables expanded, the paths services and drivers write
// resolved, a bare name looked up, and for Windows' host programs the file
// they are told to run (the DLL of rundll32, the script of wscript), since
// that, not the host, is what the entry brings along.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

struct ProgramLookup {
  std::string windows_folder;  // "C:\Windows"
  std::string system_folder;   // "C:\Windows\System32"
  // The text with its %variables% expanded.
  std::function<std::string(const std::string&)> expand;
  // Whether a file is there.
  std::function<bool(const std::string&)> exists;
};

// The words of a command line as Windows' programs split it: blanks apart,
// double quotes around words with blanks, quotes themselves dropped.
std::vector<std::string> CommandWords(std::string_view command);

// The file the command starts: the program, or its payload for rundll32,
// regsvr32, mshta, wscript and cscript. Empty when the command names none.
std::string ProgramOf(std::string_view command, const ProgramLookup& lookup);

}  // namespace registry
