#include <atomic>
#include <random>

#include "tests/doubles/portable/portable.h"

namespace platform::portable {

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  auto base = std::filesystem::temp_directory_path();
  // A random part keeps parallel test processes apart.
  for (;;) {
    path_ = base / ("veltrane-" + std::to_string(random()) + "-" + std::to_string(++counter));
    std::error_code ec;
    if (std::filesystem::create_directory(path_, ec)) return;
    if (ec) throw std::filesystem::filesystem_error("cannot create a scratch folder", path_, ec);
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace platform::portable
