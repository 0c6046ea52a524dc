// The platform's promises (tests/conformance) on Windows' own registry and files.
#include <windows.h>

#include <filesystem>

#include "platform/win32/win32_platform.h"
#include "tests/conformance/platform_conformance.h"

namespace {

namespace fs = std::filesystem;

struct Win32Backend {
  platform::win32::Win32Registry registry;
  platform::win32::Win32Files files;
  const std::string key = "Software\\VeltraneTest\\Conformance" + std::to_string(GetCurrentProcessId());
  const fs::path dir = fs::temp_directory_path() / ("veltrane-conformance-" + std::to_string(GetCurrentProcessId()));

  Win32Backend() { fs::create_directories(dir); }
  ~Win32Backend() {
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VeltraneTest");  // only when empty
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string Key() { return key; }
  std::string Folder() { return dir.string(); }
};

}  // namespace

namespace conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, PlatformConformance, Win32Backend);
}  // namespace conformance
