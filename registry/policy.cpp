#include "registry/policy.h"

#include "registry/autorun.h"

namespace registry::policy {

std::vector<std::string> ReadEntries(platform::Registry& registry, std::string_view key) {
  std::vector<std::string> entries;
  std::unique_ptr<platform::RegistryKey> opened =
      registry.Open(platform::RootKey::LocalMachine, std::string(key), platform::Access::Read);
  if (!opened) return entries;
  for (const std::string& name : opened->ValueNames()) {
    std::optional<std::string> text = ReadText(*opened, name);
    if (text && !text->empty()) entries.push_back(std::move(*text));
  }
  return entries;
}

}  // namespace registry::policy
