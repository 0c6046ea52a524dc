// The service manager as the guard uses it, on a service of its own made
// for the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

DWORD StartInRegistry(const std::wstring& name) {
  DWORD start = 99, size = sizeof start;
  const std::wstring key = L"System\\CurrentControlSet\\Services\\" + name;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Start", RRF_RT_REG_DWORD, nullptr, &start, &size) !=
      ERROR_SUCCESS)
    return 99;
  return start;
}

class Services : public ::testing::Test {
 protected:
  const std::string name = "VeltraneTest" + std::to_string(GetCurrentProcessId());
  const std::wstring wname{name.begin(), name.end()};
  Win32Services services;
  SC_HANDLE manager = nullptr;

  void SetUp() override { manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }
  void TearDown() override {
    if (SC_HANDLE service = manager ? OpenServiceW(manager, wname.c_str(), DELETE) : nullptr) {
      DeleteService(service);
      CloseServiceHandle(service);
    }
    if (manager) CloseServiceHandle(manager);
  }
};

TEST_F(Services, AnUnknownServiceIsNoneAndCannotBeChanged) {
  EXPECT_EQ(services.Query(name), std::nullopt);
  EXPECT_EQ(services.SetStartType(name, StartType::Disabled), uint32_t(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(services.Stop(name), uint32_t(ERROR_SERVICE_DOES_NOT_EXIST));
  // Names that would reach another service, or none.
  for (const char* bad : {"", "Veltrane\xC3(Test"}) {
    EXPECT_EQ(services.Query(bad), std::nullopt);
    EXPECT_NE(services.SetStartType(bad, StartType::Disabled), 0u);
  }
}

TEST_F(Services, TheStartTypeIsChangedThroughTheManager) {
  ASSERT_NE(manager, nullptr);
  SC_HANDLE made = CreateServiceW(manager, wname.c_str(), wname.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  L"C:\\windows\\system32\\notepad.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(made, nullptr) << GetLastError();
  CloseServiceHandle(made);

  ASSERT_TRUE(services.Query(name).has_value());
  EXPECT_FALSE(services.Query(name)->running);
  // Stopped already counts as asked.
  EXPECT_EQ(services.Stop(name), 0u);
  EXPECT_EQ(services.SetStartType(name, StartType::Disabled), 0u);
  EXPECT_EQ(StartInRegistry(wname), DWORD(SERVICE_DISABLED));
  EXPECT_EQ(services.SetStartType(name, StartType::Automatic), 0u);
  EXPECT_EQ(StartInRegistry(wname), DWORD(SERVICE_AUTO_START));
  // A driver's start types are not a program's.
  EXPECT_NE(services.SetStartType(name, StartType::Boot), 0u);
  EXPECT_EQ(StartInRegistry(wname), DWORD(SERVICE_AUTO_START));
}

}  // namespace
}  // namespace platform::win32
