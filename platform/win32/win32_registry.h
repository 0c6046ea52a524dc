// The real registry, through the wide functions (text data crosses as
// UTF-8). RegView::Native opens keys in the 64-bit view, which is where a
// 32-bit program on 64-bit Windows finds the Run keys that other programs
// see; RegView::Wow32 in the 32-bit view (Wow6432Node).
#pragma once
#include "platform/registry.h"

namespace platform::win32 {

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, Access access,
                                    OpenStatus* status = nullptr,
                                    RegView view = RegView::Native) override;
  std::unique_ptr<RegistryKey> OpenOrCreate(RootKey root, const std::string& path,
                                            OpenStatus* status = nullptr,
                                            RegView view = RegView::Native) override;
  // When the watch cannot re-arm (its key was deleted), Wait reports the
  // change it saw and fails from then on.
  std::unique_ptr<ChangeWatch> Watch(RootKey root, const std::string& path, bool subtree,
                                     unsigned filter, RegView view = RegView::Native) override;
  std::unique_ptr<ChangeWaiter> NewWaiter() override;
  // A 32-bit process under WOW64, or a 64-bit one.
  bool HasWow32View() override;
  // Compares the kernel's names of the key opened in each view.
  bool ViewsShareKey(RootKey root, const std::string& path) override;
};

}  // namespace platform::win32
