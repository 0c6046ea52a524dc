#include "registry/policy.h"

#include "registry/autorun.h"

namespace registry::policy {

PolicyList Read(platform::Registry& registry, std::string_view key) {
  PolicyList list;
  platform::OpenStatus status = platform::OpenStatus::Ok;
  std::unique_ptr<platform::RegistryKey> opened =
      registry.Open(platform::RootKey::LocalMachine, std::string(key), platform::Access::Read, &status);
  if (!opened) {
    list.refused = status != platform::OpenStatus::NotFound;
    return list;
  }
  for (const std::string& name : opened->ValueNames()) {
    std::optional<std::string> text = ReadText(*opened, name);
    if (text && !text->empty()) list.entries.push_back(std::move(*text));
  }
  return list;
}

std::vector<std::string> ReadEntries(Context& context, std::string_view key) {
  PolicyList list = Read(context.Platform().registry, key);
  if (list.refused)
    context.Refused(KeyText(platform::RootKey::LocalMachine, key, platform::RegView::Native), Refusal::ReadPolicy);
  return std::move(list.entries);
}

}  // namespace registry::policy
