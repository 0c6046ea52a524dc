// The service manager, through the wide functions.
#pragma once
#include "platform/services.h"

namespace platform::win32 {

class Win32Services : public Services {
 public:
  // Each call opens the manager and the service with only the access it
  // needs, and closes them again.
  std::optional<ServiceState> Query(const std::string& name) override;
  uint32_t SetStartType(const std::string& name, StartType start) override;
  uint32_t Stop(const std::string& name) override;
};

}  // namespace platform::win32
