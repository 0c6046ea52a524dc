// An in-memory registry with the behaviour of the real one that the program
// relies on: case-insensitive names, values in insertion order, access rights
// and change notifications. Tests describe its contents in .reg text.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform::portable {

class PortableRegistry : public Registry {
 public:
  PortableRegistry();
  ~PortableRegistry() override;
  PortableRegistry(const PortableRegistry&) = delete;
  PortableRegistry& operator=(const PortableRegistry&) = delete;

  std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path, Access access,
                                    OpenStatus* status = nullptr,
                                    RegView view = RegView::Native) override;
  std::unique_ptr<RegistryKey> OpenOrCreate(RootKey root, const std::string& path,
                                            OpenStatus* status = nullptr,
                                            RegView view = RegView::Native) override;
  std::unique_ptr<ChangeWatch> Watch(RootKey root, const std::string& path, bool subtree,
                                     unsigned filter, RegView view = RegView::Native) override;
  std::unique_ptr<ChangeWaiter> NewWaiter() override;
  bool HasWow32View() override;
  bool ViewsShareKey(RootKey root, const std::string& path) override;

  // Makes it the registry of 64-bit Windows as a 32-bit program sees it:
  // RegView::Wow32 then finds HKLM\SOFTWARE\... under
  // HKLM\SOFTWARE\Wow6432Node\... . Otherwise (32-bit Windows) both
  // views are the same keys.
  void SetWow64(bool wow64);
  // The machine's SOFTWARE\<path> and everything under it lie in one key
  // for both views, as 64-bit Windows shares some keys.
  void ShareInViews(const std::string& path);

  // Applies .reg text (REGEDIT4 or "Windows Registry Editor Version 5.00").
  // Returns the 1-based numbers of the lines it skipped as malformed.
  std::vector<size_t> LoadRegText(const std::string& text);
  // The key and everything under it as .reg text (version 5); empty when missing.
  std::string ExportRegText(RootKey root, const std::string& path) const;

  // These name keys as they are stored: the 32-bit view's keys are found
  // under SOFTWARE\Wow6432Node.
  std::optional<RegValue> Get(RootKey root, const std::string& path,
                              const std::string& name) const;
  bool KeyExists(RootKey root, const std::string& path) const;
  std::vector<std::string> SubkeyNames(RootKey root, const std::string& path) const;
  // Creates the key when missing; any value type.
  bool Set(RootKey root, const std::string& path, const std::string& name,
           const RegValue& value);
  // Removes the key with everything under it; false when it did not exist.
  bool DeleteKey(RootKey root, const std::string& path);

  // Rights checked when a key is opened, as an ACL would be. The key is
  // created when missing. DenyAccess refuses every open, DenyWrite only
  // opens for writing and creating subkeys; AllowAccess undoes both.
  void DenyAccess(RootKey root, const std::string& path);
  void DenyWrite(RootKey root, const std::string& path);
  void AllowAccess(RootKey root, const std::string& path);
  // Writes and deletes of values in this key fail even through handles that
  // were opened for writing (a full disk, a key locked by policy).
  void FailWrites(RootKey root, const std::string& path, bool fail = true);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace platform::portable
