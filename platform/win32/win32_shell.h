#pragma once
#include "platform/shell.h"

namespace platform::win32 {

class Win32Shell : public Shell {
 public:
  bool Start(const std::string& program, const std::string& arguments, const std::string& folder) override;
  // Icons are loaded once, at the size of the notification area, and kept.
  bool NotifyIcon(NotifyIconOp op, const NotifyIconData& data) override;
  // SHGetKnownFolderPath, without checking that the folder exists.
  std::optional<std::string> StartupFolderPath(StartupFolder which) override;
  // The shell's own shortcut object, loaded for reading only; its target
  // is never resolved.
  std::optional<Shortcut> ReadShortcut(const std::string& path) override;
};

}  // namespace platform::win32
