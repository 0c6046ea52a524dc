// The real registry, through the wide functions (text data crosses as
// UTF-8). Keys are opened in the 64-bit view, which is where a 32-bit
// program on 64-bit Windows finds the Run keys that other programs see.
#pragma once
#include "platform/registry.h"

namespace platform::win32 {

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, Access access,
                                    OpenStatus* status = nullptr) override;
  std::unique_ptr<RegistryKey> OpenOrCreate(RootKey root, const std::string& path,
                                            OpenStatus* status = nullptr) override;
  // When the watch cannot re-arm (its key was deleted), Wait reports the
  // change it saw and fails from then on.
  std::unique_ptr<ChangeWatch> Watch(RootKey root, const std::string& path, bool subtree,
                                     unsigned filter) override;
  std::unique_ptr<ChangeWaiter> NewWaiter() override;
};

}  // namespace platform::win32
