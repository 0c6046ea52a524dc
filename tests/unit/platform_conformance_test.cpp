// The platform's promises (tests/conformance) on the portable backend.
#include <filesystem>

#include "tests/conformance/platform_conformance.h"
#include "tests/doubles/portable/portable.h"

namespace {

struct PortableBackend {
  platform::portable::ScratchFolder scratch;
  platform::portable::PortableRegistry registry;
  platform::portable::PortableFiles files{scratch.path() / "c"};

  PortableBackend() { std::filesystem::create_directories(scratch.path() / "c" / "conformance"); }
  std::string Key() { return "Software\\VeltraneTest\\Conformance"; }
  std::string Folder() { return "C:\\conformance"; }
};

}  // namespace

namespace conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Portable, PlatformConformance, PortableBackend);
}  // namespace conformance
