// The files a benchmark runs on: in memory, or real files under a scratch
// folder standing in for C: (with C:\Windows made).
#pragma once
#include <filesystem>
#include <memory>
#include "tests/doubles/portable/portable.h"
#include "tests/support/mem_files.h"

namespace testing_support {

class BenchFiles {
 public:
  explicit BenchFiles(bool real_files) {
    if (!real_files) return;
    scratch_ = std::make_unique<platform::portable::ScratchFolder>();
    std::filesystem::create_directories(scratch_->path() / "Windows");
    real_ = std::make_unique<platform::portable::PortableFiles>(scratch_->path());
  }
  platform::Files& Files() { return real_ ? static_cast<platform::Files&>(*real_) : mem_; }

 private:
  MemFiles mem_;
  std::unique_ptr<platform::portable::ScratchFolder> scratch_;
  std::unique_ptr<platform::portable::PortableFiles> real_;
};

}  // namespace testing_support
