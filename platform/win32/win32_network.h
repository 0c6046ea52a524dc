// HTTP through WinInet, wide calls only.
#pragma once
#include "platform/network.h"

namespace platform::win32 {

class Win32Network : public Network {
 public:
  std::unique_ptr<InternetSession> Open(const std::string& agent) override;
};

}  // namespace platform::win32
