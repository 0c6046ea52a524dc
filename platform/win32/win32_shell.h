#pragma once
#include "platform/shell.h"

namespace platform::win32 {

class Win32Shell : public Shell {
 public:
  bool Start(const std::string& program, const std::string& arguments, const std::string& folder) override;
  // Icons are loaded once, at the size of the notification area, and kept.
  bool NotifyIcon(NotifyIconOp op, const NotifyIconData& data) override;
};

}  // namespace platform::win32
