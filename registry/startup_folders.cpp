#include "registry/startup_folders.h"

#include "platform/text.h"

namespace registry {

bool IsFolderSettings(std::string_view file_name) { return platform::SameAsciiCaseless(file_name, "desktop.ini"); }

std::string StartupCommand(platform::Shell& shell, const std::string& path) {
  constexpr std::string_view kLink = ".lnk";
  const bool link = path.size() > kLink.size() && platform::SameAsciiCaseless(std::string_view(path).substr(path.size() - kLink.size()), kLink);
  std::optional<platform::Shortcut> shortcut = link ? shell.ReadShortcut(path) : std::nullopt;
  if (!shortcut || shortcut->target.empty()) return path;
  std::string command = shortcut->target;
  if (command.find(' ') != std::string::npos) command = '"' + command + '"';
  if (!shortcut->arguments.empty()) command += ' ' + shortcut->arguments;
  return command;
}

}  // namespace registry
