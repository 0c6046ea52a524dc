#include "platform/win32/win32_services.h"

#include "platform/win32/win32_handles.h"

namespace platform::win32 {
namespace {

struct FreeService {
  void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};
using ServiceHandle = Owned<SC_HANDLE, FreeService>;

// GetLastError() read at once, and never 0 for a failure.
uint32_t LastError() {
  const DWORD error = GetLastError();
  return error ? error : ERROR_GEN_FAILURE;
}

// The service opened with access, or why not (a Win32 error), told apart
// from whatever closing the manager leaves in GetLastError.
ServiceHandle OpenNamed(const std::string& name, DWORD access, uint32_t& error) {
  const std::optional<std::wstring> wname = NameArg(name);
  // An empty name would be refused anyway; a name that is not UTF-8 would
  // reach another service.
  if (!wname || wname->empty()) {
    error = ERROR_INVALID_NAME;
    return {};
  }
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    error = LastError();
    return {};
  }
  ServiceHandle service(OpenServiceW(manager.get(), wname->c_str(), access));
  error = service ? 0 : LastError();
  return service;
}

}  // namespace

std::optional<ServiceState> Win32Services::Query(const std::string& name) {
  uint32_t error = 0;
  const ServiceHandle service = OpenNamed(name, SERVICE_QUERY_STATUS, error);
  SERVICE_STATUS status{};
  if (!service || !QueryServiceStatus(service.get(), &status)) return std::nullopt;
  return ServiceState{status.dwCurrentState != SERVICE_STOPPED};
}

uint32_t Win32Services::SetStartType(const std::string& name, StartType start) {
  const DWORD type = DWORD(start);
  if (type > SERVICE_DISABLED) return ERROR_INVALID_PARAMETER;
  uint32_t error = 0;
  const ServiceHandle service = OpenNamed(name, SERVICE_CHANGE_CONFIG, error);
  if (!service) return error;
  if (!ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, type, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr))
    return LastError();
  return 0;
}

uint32_t Win32Services::Stop(const std::string& name) {
  uint32_t error = 0;
  const ServiceHandle service = OpenNamed(name, SERVICE_STOP | SERVICE_QUERY_STATUS, error);
  if (!service) return error;
  SERVICE_STATUS status{};
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return 0;
  error = LastError();
  return error == ERROR_SERVICE_NOT_ACTIVE ? 0 : error;
}

}  // namespace platform::win32
