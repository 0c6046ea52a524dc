#include "tests/doubles/portable/portable_registry.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/doubles/portable/reg_text.h"
#include "platform/text.h"
#include "platform/utf.h"
#include "tests/doubles/portable/portable_waiter.h"

namespace platform::portable {
namespace regstore {

struct Node {
  std::string name;
  Node* parent = nullptr;  // null for roots and for deleted keys
  std::vector<std::shared_ptr<Node>> children;
  std::vector<std::pair<std::string, RegValue>> values;
  bool deleted = false;
  bool deny_read = false;
  bool deny_write = false;
  bool fail_writes = false;
};

struct WatchRec {
  std::shared_ptr<Node> node;
  bool subtree = false;
  unsigned filter = 0;
  bool pending = false;
  bool cancelled = false;
  bool gone = false;  // the watched key was deleted; it cannot re-arm
};

}  // namespace regstore

using regstore::Node;
using regstore::WatchRec;

// One lock guards the whole tree: keys, handles and watches share it, so a
// worker thread waiting on a watch sees every write made by another thread.
struct PortableRegistry::State {
  using Record = WatchRec;
  std::mutex mu;
  std::condition_variable changed;
  std::array<std::shared_ptr<Node>, 5> roots;
  std::vector<WatchRec*> watches;
  bool wow64 = false;
  std::vector<std::vector<std::string>> shared;  // paths both views share

  State() {
    for (size_t i = 0; i < roots.size(); ++i) {
      roots[i] = std::make_shared<Node>();
      roots[i]->name = RootName(RootKey(i));
    }
  }
};

namespace {

using State = PortableRegistry::State;

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr unsigned kAllFilterBits = kChangeName | kChangeAttributes | kChangeLastSet |
                                    kChangeSecurity;

// Names are counted, as in Windows' own calls: a NUL inside one is part of it.
bool ValidValueName(const std::string& name) { return name.size() <= kMaxValueNameLength; }

// Splits "A\B\C"; empty components (doubled or outer backslashes) are ignored.
std::optional<std::vector<std::string>> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('\\', start);
    std::string part = path.substr(start, slash == std::string::npos ? std::string::npos
                                                                      : slash - start);
    if (!part.empty()) {
      if (part.size() > kMaxKeyNameLength || part.find('\0') != std::string::npos) {
        return std::nullopt;
      }
      parts.push_back(std::move(part));
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return parts;
}

// Where a path of the given view is stored: on 64-bit Windows the 32-bit
// view of the machine's SOFTWARE key lies in its Wow6432Node sub-key.
void ApplyView(const State& st, RootKey root, std::vector<std::string>& parts, RegView view) {
  if (!st.wow64 || view != RegView::Wow32 || root != RootKey::LocalMachine) return;
  if (parts.empty() || !SameAsciiCaseless(parts[0], "SOFTWARE")) return;
  // A path already in the 32-bit view's own key stays as it is.
  if (parts.size() > 1 && SameAsciiCaseless(parts[1], "Wow6432Node")) return;
  for (const std::vector<std::string>& shared : st.shared) {
    bool within = parts.size() >= shared.size();
    for (size_t i = 0; within && i < shared.size(); ++i) within = SameAsciiCaseless(parts[i], shared[i]);
    if (within) return;
  }
  parts.insert(parts.begin() + 1, "Wow6432Node");
}

std::shared_ptr<Node> Child(const Node& node, const std::string& name) {
  for (const auto& child : node.children) {
    if (SameAsciiCaseless(child->name, name)) return child;
  }
  return nullptr;
}

bool IsWithin(const Node* node, const Node* ancestor) {
  for (; node; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

// Called with the lock held after a change in `key`.
void Notify(State& st, const Node* key, unsigned bits) {
  bool woke = false;
  for (WatchRec* w : st.watches) {
    if (w->cancelled || w->gone || !(w->filter & bits)) continue;
    bool match = w->node.get() == key ||
                 (w->subtree && key->parent && IsWithin(key->parent, w->node.get()));
    if (match) {
      w->pending = true;
      woke = true;
    }
  }
  if (woke) st.changed.notify_all();
}

std::shared_ptr<Node> Resolve(State& st, RootKey root, const std::vector<std::string>& parts) {
  size_t index = size_t(root);
  if (index >= st.roots.size()) return nullptr;
  std::shared_ptr<Node> node = st.roots[index];
  for (const auto& part : parts) {
    node = Child(*node, part);
    if (!node) return nullptr;
  }
  return node;
}

// Creates the missing keys along the path. With check_rights, a key may only
// be created under a writable parent and the last key must be writable.
std::shared_ptr<Node> CreatePath(State& st, RootKey root, const std::vector<std::string>& parts,
                                 bool check_rights, OpenStatus* status) {
  size_t index = size_t(root);
  if (index >= st.roots.size()) {
    if (status) *status = OpenStatus::Failed;
    return nullptr;
  }
  std::shared_ptr<Node> node = st.roots[index];
  for (const auto& part : parts) {
    auto child = Child(*node, part);
    if (!child) {
      if (check_rights && node->deny_write) {
        if (status) *status = OpenStatus::AccessDenied;
        return nullptr;
      }
      child = std::make_shared<Node>();
      child->name = part;
      child->parent = node.get();
      node->children.push_back(child);
      Notify(st, node.get(), kChangeName);
    }
    node = child;
  }
  if (check_rights && node->deny_write) {
    if (status) *status = OpenStatus::AccessDenied;
    return nullptr;
  }
  if (status) *status = OpenStatus::Ok;
  return node;
}

void MarkDeleted(Node& node) {
  node.deleted = true;
  for (auto& child : node.children) MarkDeleted(*child);
}

bool RemoveKey(State& st, const std::shared_ptr<Node>& node) {
  Node* parent = node->parent;
  if (!parent) return false;  // a root
  MarkDeleted(*node);
  auto& siblings = parent->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  node->parent = nullptr;
  Notify(st, parent, kChangeName);
  // As on Windows, a watch on a deleted key fires whatever its filter.
  bool woke = false;
  for (WatchRec* w : st.watches) {
    if (w->node->deleted && !w->gone) {
      w->pending = true;
      w->gone = true;
      woke = true;
    }
  }
  if (woke) st.changed.notify_all();
  return true;
}

std::pair<std::string, RegValue>* FindValue(Node& node, const std::string& name) {
  for (auto& v : node.values) {
    if (SameAsciiCaseless(v.first, name)) return &v;
  }
  return nullptr;
}

void SetValue(State& st, Node& node, const std::string& name, const RegValue& value) {
  if (auto* existing = FindValue(node, name)) {
    existing->second = value;  // keeps its place and the spelling of its name
    Notify(st, &node, kChangeLastSet);
  } else {
    node.values.emplace_back(name, value);
    Notify(st, &node, kChangeName | kChangeLastSet);
  }
}

bool RemoveValue(State& st, Node& node, const std::string& name) {
  auto it = std::find_if(node.values.begin(), node.values.end(),
                         [&](const auto& v) { return SameAsciiCaseless(v.first, name); });
  if (it == node.values.end()) return false;
  node.values.erase(it);
  Notify(st, &node, kChangeName | kChangeLastSet);
  return true;
}

class PortableKey : public RegistryKey {
 public:
  PortableKey(std::shared_ptr<State> st, std::shared_ptr<Node> node, bool writable)
      : st_(std::move(st)), node_(std::move(node)), writable_(writable) {}

  std::vector<std::string> ValueNames() override {
    std::lock_guard lock(st_->mu);
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const auto& v : node_->values) names.push_back(v.first);
    return names;
  }

  std::optional<RegValue> Read(const std::string& name) override {
    std::lock_guard lock(st_->mu);
    if (node_->deleted || !ValidValueName(name)) return std::nullopt;
    if (auto* v = FindValue(*node_, name)) return v->second;
    return std::nullopt;
  }

  std::optional<ValueInfo> Info(const std::string& name) override {
    std::lock_guard lock(st_->mu);
    if (node_->deleted || !ValidValueName(name)) return std::nullopt;
    auto* v = FindValue(*node_, name);
    if (!v) return std::nullopt;
    const RegValue& value = v->second;
    // Sized as Windows would store the text: UTF-16 and a terminating NUL.
    return ValueInfo{value.type, value.IsText() ? (platform::Utf16Units(value.data) + 1) * 2 : value.data.size()};
  }

  bool WriteText(const std::string& name, const std::string& text, ValueType type) override {
    if (type != ValueType::Sz && type != ValueType::ExpandSz) return false;
    std::lock_guard lock(st_->mu);
    if (!CanWrite(name)) return false;
    SetValue(*st_, *node_, name, RegValue{uint32_t(type), text});
    return true;
  }

  bool WriteMultiText(const std::string& name, const std::string& data) override {
    std::lock_guard lock(st_->mu);
    if (!CanWrite(name) || !IsUtf8(data)) return false;
    SetValue(*st_, *node_, name, RegValue{uint32_t(ValueType::MultiSz), data});
    return true;
  }

  bool DeleteValue(const std::string& name) override {
    std::lock_guard lock(st_->mu);
    return CanWrite(name) && RemoveValue(*st_, *node_, name);
  }

  bool DeleteSubkey(const std::string& name) override {
    std::lock_guard lock(st_->mu);
    if (!writable_ || node_->deleted || node_->fail_writes) return false;
    for (const std::shared_ptr<Node> child : node_->children)  // a copy: removing it changes the list
      if (SameAsciiCaseless(child->name, name)) return child->children.empty() && !child->deny_write && RemoveKey(*st_, child);
    return false;
  }

  bool WriteDword(const std::string& name, uint32_t value) override {
    std::lock_guard lock(st_->mu);
    if (!CanWrite(name)) return false;
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[size_t(i)] = char((value >> (8 * i)) & 0xFF);
    SetValue(*st_, *node_, name, RegValue{uint32_t(ValueType::Dword), bytes});
    return true;
  }

  std::vector<std::string> SubkeyNames() override {
    std::lock_guard lock(st_->mu);
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const auto& child : node_->children) names.push_back(child->name);
    return names;
  }

 private:
  bool CanWrite(const std::string& name) const {
    return writable_ && !node_->deleted && !node_->fail_writes && ValidValueName(name);
  }

  std::shared_ptr<State> st_;
  std::shared_ptr<Node> node_;
  bool writable_;
};

}  // namespace

PortableRegistry::PortableRegistry() : state_(std::make_shared<State>()) {}
PortableRegistry::~PortableRegistry() = default;

std::unique_ptr<RegistryKey> PortableRegistry::Open(RootKey root, const std::string& path,
                                                    Access access, OpenStatus* status, RegView view) {
  auto set = [&](OpenStatus s) {
    if (status) *status = s;
  };
  auto parts = SplitPath(path);
  if (!parts) {
    set(OpenStatus::Failed);
    return nullptr;
  }
  std::lock_guard lock(state_->mu);
  ApplyView(*state_, root, *parts, view);
  auto node = Resolve(*state_, root, *parts);
  if (!node) {
    set(OpenStatus::NotFound);
    return nullptr;
  }
  bool write = access == Access::ReadWrite;
  if (node->deny_read || (write && node->deny_write)) {
    set(OpenStatus::AccessDenied);
    return nullptr;
  }
  set(OpenStatus::Ok);
  return std::make_unique<PortableKey>(state_, node, write);
}

std::unique_ptr<RegistryKey> PortableRegistry::OpenOrCreate(RootKey root, const std::string& path,
                                                            OpenStatus* status, RegView view) {
  auto parts = SplitPath(path);
  if (!parts) {
    if (status) *status = OpenStatus::Failed;
    return nullptr;
  }
  std::lock_guard lock(state_->mu);
  ApplyView(*state_, root, *parts, view);
  auto node = CreatePath(*state_, root, *parts, true, status);
  if (!node) return nullptr;
  return std::make_unique<PortableKey>(state_, node, true);
}

std::unique_ptr<ChangeWatch> PortableRegistry::Watch(RootKey root, const std::string& path,
                                                     bool subtree, unsigned filter, RegView view) {
  // The real call refuses an empty or unknown filter; so does this one.
  if (filter == 0 || (filter & ~kAllFilterBits)) return nullptr;
  auto parts = SplitPath(path);
  if (!parts) return nullptr;
  std::shared_ptr<Node> node;
  {
    std::lock_guard lock(state_->mu);
    ApplyView(*state_, root, *parts, view);
    node = Resolve(*state_, root, *parts);
    if (!node || node->deny_read) return nullptr;
  }
  return std::make_unique<PortableWatch<State>>(state_, WatchRec{node, subtree, filter});
}

std::unique_ptr<ChangeWaiter> PortableRegistry::NewWaiter() {
  return std::make_unique<PortableWaiter<State>>(state_);
}

bool PortableRegistry::HasWow32View() {
  std::lock_guard lock(state_->mu);
  return state_->wow64;
}

bool PortableRegistry::ViewsShareKey(RootKey root, const std::string& path) {
  if (!Open(root, path, Access::Read, nullptr, RegView::Native) || !Open(root, path, Access::Read, nullptr, RegView::Wow32))
    return false;
  auto parts = SplitPath(path);
  if (!parts) return false;
  std::vector<std::string> wow32 = *parts;
  std::lock_guard lock(state_->mu);
  ApplyView(*state_, root, wow32, RegView::Wow32);
  return wow32.size() == parts->size();
}

void PortableRegistry::ShareInViews(const std::string& path) {
  auto parts = SplitPath(path);
  std::lock_guard lock(state_->mu);
  if (parts) state_->shared.push_back(*parts);
}

void PortableRegistry::SetWow64(bool wow64) {
  std::lock_guard lock(state_->mu);
  state_->wow64 = wow64;
}

std::vector<size_t> PortableRegistry::LoadRegText(const std::string& text) {
  RegScript script = ParseRegText(text);
  std::lock_guard lock(state_->mu);
  for (const RegOp& op : script.ops) {
    auto parts = SplitPath(op.path);
    bool ok = parts.has_value();
    if (ok) {
      switch (op.kind) {
        case RegOp::kCreateKey:
          ok = CreatePath(*state_, op.root, *parts, false, nullptr) != nullptr;
          break;
        case RegOp::kDeleteKey:
          // Deleting a key that is not there is no error for Regedit either.
          if (auto node = Resolve(*state_, op.root, *parts)) RemoveKey(*state_, node);
          break;
        case RegOp::kSetValue:
        case RegOp::kDeleteValue: {
          auto node = CreatePath(*state_, op.root, *parts, false, nullptr);
          ok = node && ValidValueName(op.name);
          if (!ok) break;
          if (op.kind == RegOp::kSetValue) {
            SetValue(*state_, *node, op.name, op.value);
          } else {
            RemoveValue(*state_, *node, op.name);
          }
          break;
        }
      }
    }
    if (!ok) script.skipped_lines.push_back(op.line);
  }
  std::sort(script.skipped_lines.begin(), script.skipped_lines.end());
  return script.skipped_lines;
}

std::string PortableRegistry::ExportRegText(RootKey root, const std::string& path) const {
  auto parts = SplitPath(path);
  if (!parts) return {};
  std::lock_guard lock(state_->mu);
  auto node = Resolve(*state_, root, *parts);
  if (!node) return {};
  // The stored spelling, not the caller's.
  std::string joined;
  for (const Node* n = node.get(); n->parent; n = n->parent) {
    joined = joined.empty() ? n->name : n->name + "\\" + joined;
  }

  std::string out = "Windows Registry Editor Version 5.00\n";
  auto emit = [&](auto&& self, const Node& n, const std::string& key_path) -> void {
    out += '\n';
    out += FormatKeyLine(root, key_path);
    out += '\n';
    for (const auto& v : n.values) {
      out += FormatValueLine(v.first, v.second);
      out += '\n';
    }
    for (const auto& child : n.children) {
      self(self, *child, key_path.empty() ? child->name : key_path + "\\" + child->name);
    }
  };
  emit(emit, *node, joined);
  return out;
}

std::optional<RegValue> PortableRegistry::Get(RootKey root, const std::string& path,
                                              const std::string& name) const {
  auto parts = SplitPath(path);
  if (!parts) return std::nullopt;
  std::lock_guard lock(state_->mu);
  auto node = Resolve(*state_, root, *parts);
  if (!node) return std::nullopt;
  if (auto* v = FindValue(*node, name)) return v->second;
  return std::nullopt;
}

bool PortableRegistry::KeyExists(RootKey root, const std::string& path) const {
  auto parts = SplitPath(path);
  if (!parts) return false;
  std::lock_guard lock(state_->mu);
  return Resolve(*state_, root, *parts) != nullptr;
}

std::vector<std::string> PortableRegistry::SubkeyNames(RootKey root,
                                                       const std::string& path) const {
  std::vector<std::string> names;
  auto parts = SplitPath(path);
  if (!parts) return names;
  std::lock_guard lock(state_->mu);
  if (auto node = Resolve(*state_, root, *parts)) {
    for (const auto& child : node->children) names.push_back(child->name);
  }
  return names;
}

bool PortableRegistry::Set(RootKey root, const std::string& path, const std::string& name,
                           const RegValue& value) {
  auto parts = SplitPath(path);
  if (!parts || !ValidValueName(name)) return false;
  std::lock_guard lock(state_->mu);
  auto node = CreatePath(*state_, root, *parts, false, nullptr);
  if (!node) return false;
  SetValue(*state_, *node, name, value);
  return true;
}

bool PortableRegistry::DeleteKey(RootKey root, const std::string& path) {
  auto parts = SplitPath(path);
  if (!parts) return false;
  std::lock_guard lock(state_->mu);
  auto node = Resolve(*state_, root, *parts);
  return node && RemoveKey(*state_, node);
}

namespace {

template <typename Change>
void ChangeKey(State& st, RootKey root, const std::string& path, Change change) {
  auto parts = SplitPath(path);
  if (!parts) return;
  std::lock_guard lock(st.mu);
  if (auto node = CreatePath(st, root, *parts, false, nullptr)) change(*node);
}

}  // namespace

void PortableRegistry::DenyAccess(RootKey root, const std::string& path) {
  ChangeKey(*state_, root, path, [](Node& n) { n.deny_read = n.deny_write = true; });
}

void PortableRegistry::DenyWrite(RootKey root, const std::string& path) {
  ChangeKey(*state_, root, path, [](Node& n) { n.deny_write = true; });
}

void PortableRegistry::AllowAccess(RootKey root, const std::string& path) {
  ChangeKey(*state_, root, path, [](Node& n) { n.deny_read = n.deny_write = false; });
}

void PortableRegistry::FailWrites(RootKey root, const std::string& path, bool fail) {
  ChangeKey(*state_, root, path, [fail](Node& n) { n.fail_writes = fail; });
}

}  // namespace platform::portable
