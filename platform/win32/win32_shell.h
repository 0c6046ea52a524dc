#pragma once
#include "platform/shell.h"

namespace platform::win32 {

class Win32Shell : public Shell {
 public:
  bool Open(const std::string& document) override;
};

}  // namespace platform::win32
