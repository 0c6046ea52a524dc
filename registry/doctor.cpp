#include "registry/doctor.h"

#include <memory>
#include <vector>

namespace registry {

std::optional<std::string> Dequote(std::string_view text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string inner;
  size_t i = 1;
  for (;;) {
    if (i >= text.size()) return std::nullopt;  // never closed
    if (text[i] == '"') {
      if (i + 1 < text.size() && text[i + 1] == '"') {
        inner += '"';
        i += 2;
        continue;
      }
      break;
    }
    inner += text[i++];
  }
  // Arguments after the closing quote would be cut off.
  if (i + 1 != text.size()) return std::nullopt;
  if (inner.empty() || inner.find_first_of(" \t") != std::string::npos) return std::nullopt;
  return inner;
}

bool RegistryDoctor::RepairKey(int n, const std::function<void(int position, int max)>& progress) {
  static const ScanKey* const kRepaired[kKeys] = {&kScanKeys[0], &kScanKeys[1], &kScanKeys[3], &kScanKeys[2]};
  // Once the program is ending, one message about the registry is enough.
  if (context_.Ending()) return true;
  platform::Registry& registry = context_.Platform().registry;
  // On 64-bit Windows the machine's keys have a 32-bit view of their own,
  // repaired after the native one. Each is read first, and opened for
  // writing only when a value in it is to change.
  struct Opened {
    platform::RegView view;
    AutorunKey key;
    std::vector<std::string> names;
  };
  const ScanKey& k = *kRepaired[n];
  std::vector<Opened> opened;
  int count = 0;
  for (const KeyView& view : ViewsOf(k, registry)) {
    Opened& o = opened.emplace_back(Opened{view.view, OpenAutorunKey(registry, k.root, k.path, view.view), {}});
    if (o.key.status == KeyOpen::Refused) context_.Refused(KeyText(k.root, k.path, view.view), Refusal::Read);
    // Not a refusal, and not missing: the registry itself is broken.
    if (o.key.status == KeyOpen::Failed && view.view == platform::RegView::Native) {
      context_.Tell(tk::MsgKind::Error, std::string(kRegistryCorrupted));
      return false;
    }
    if (context_.Ending()) return true;
    if (o.key.key) o.names = o.key.key->ValueNames();
    count += int(o.names.size());
  }

  const int max = count >= 2 ? count - 1 : 0;
  progress(0, max);
  int i = 0;
  for (Opened& o : opened) {
    std::unique_ptr<platform::RegistryKey> writable;
    for (const std::string& name : o.names) {
      progress(i++, max);
      std::optional<platform::RegValue> value = o.key.key->Read(name);
      // Numbers and raw bytes are no commands: left alone.
      if (!value || !value->IsText()) continue;
      std::string data = value->data.substr(0, value->data.find('\0'));
      if (data.find(" -") != std::string::npos) continue;
      std::optional<std::string> bare = Dequote(data);
      if (!bare) continue;
      if (!writable) writable = OpenAutorunKey(registry, k.root, k.path, o.view, platform::Access::ReadWrite).key;
      // Written back with its own type, so that %SystemRoot% and the like
      // still expand. A key that cannot be changed is left as it is.
      if (!writable || !writable->WriteText(name, *bare, platform::ValueType(value->type))) {
        context_.Refused(KeyText(k.root, k.path, o.view), Refusal::Change);
        break;
      }
    }
    if (context_.Ending()) return true;
  }
  return true;
}

}  // namespace registry
