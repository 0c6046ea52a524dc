// The service manager, for the services that start with Windows.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Start types as the Services key and the service manager number them.
enum class StartType : uint32_t { Boot = 0, System = 1, Automatic = 2, Demand = 3, Disabled = 4 };

struct ServiceState {
  bool running = false;  // anything but stopped
};

class Services {
 public:
  virtual ~Services() = default;
  // The service as the manager knows it; nullopt when it does not (a
  // service written straight into the registry is unknown to it until the
  // next boot) or cannot be asked.
  virtual std::optional<ServiceState> Query(const std::string& name) = 0;
  // Changes the start type through the manager; 0 or the Win32 error.
  virtual uint32_t SetStartType(const std::string& name, StartType start) = 0;
  // Asks a running service to stop; 0 once it was asked (or was stopped
  // already), or the Win32 error.
  virtual uint32_t Stop(const std::string& name) = 0;
};

}  // namespace platform
