// Registry access as the program needs it: open existing keys, read and write
// text values, enumerate value names, and wait for changes under a key.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// In the order of the predefined roots.
enum class RootKey { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Win32 value types by number; anything else keeps its raw number in RegValue.
enum class ValueType : uint32_t {
  None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7
};

struct RegValue {
  uint32_t type = 0;   // raw Win32 type number (ValueType for the known ones)
  // Raw bytes; for text types UTF-8 without the terminating NUL; for a
  // multi-string UTF-8 with every NUL kept (each line ends in one, and an
  // empty line, a second NUL, ends the list).
  std::string data;
  bool IsText() const {
    return type == uint32_t(ValueType::Sz) || type == uint32_t(ValueType::ExpandSz);
  }
};

// What a value is, without its data.
struct ValueInfo {
  uint32_t type = 0;
  uint64_t size = 0;  // bytes as Windows stores them: text in UTF-16 with its terminating NUL
  bool IsText() const {
    return type == uint32_t(ValueType::Sz) || type == uint32_t(ValueType::ExpandSz);
  }
};

// One look at a value: its data when it is short enough, what it is always.
struct ValueUpTo {
  ValueInfo info;
  std::optional<RegValue> value;  // empty when the value is longer
};

// 64-bit Windows keeps the machine's SOFTWARE key twice: the native view,
// which 64-bit programs see, and a view for 32-bit programs, which 64-bit
// tools show under SOFTWARE\Wow6432Node. Elsewhere (the current user's
// SOFTWARE key, 32-bit Windows) both views are the same key.
enum class RegView { Native, Wow32 };

// A key in one of its views.
struct KeyLocation {
  RootKey root = RootKey::CurrentUser;
  std::string path;
  RegView view = RegView::Native;
  bool operator==(const KeyLocation&) const = default;
};

enum class OpenStatus { Ok, NotFound, AccessDenied, Failed };
enum class Access { Read, ReadWrite };

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Value names in the key's own order (the order RegEnumValue reports).
  virtual std::vector<std::string> ValueNames() = 0;
  virtual std::optional<RegValue> Read(const std::string& name) = 0;
  // Type and size of a value, asked once and without its data; nullopt
  // when it is gone.
  virtual std::optional<ValueInfo> Info(const std::string& name) = 0;
  // The value read whole when it takes at most max_bytes as stored, else
  // only its type and size; nullopt when it is gone. Backends that can do
  // it in one call to the registry do.
  virtual std::optional<ValueUpTo> ReadUpTo(const std::string& name, uint64_t max_bytes) {
    std::optional<ValueInfo> info = Info(name);
    if (!info) return std::nullopt;
    if (info->size > max_bytes) return ValueUpTo{*info, std::nullopt};
    std::optional<RegValue> value = Read(name);
    if (!value) return std::nullopt;
    return ValueUpTo{*info, std::move(value)};
  }
  // type must be Sz or ExpandSz.
  virtual bool WriteText(const std::string& name, const std::string& text,
                         ValueType type = ValueType::Sz) = 0;
  // A multi-string, data as Read gives it.
  virtual bool WriteMultiText(const std::string& name, const std::string& data) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
  // Deletes a subkey that has no subkeys of its own.
  virtual bool DeleteSubkey(const std::string& name) = 0;
  virtual bool WriteDword(const std::string& name, uint32_t value) = 0;
  // The names of the key's subkeys, in the key's own order.
  virtual std::vector<std::string> SubkeyNames() = 0;
};

// Bits of the change filter, as RegNotifyChangeKeyValue takes them.
enum ChangeFilter : unsigned {
  kChangeName = 1, kChangeAttributes = 2, kChangeLastSet = 4, kChangeSecurity = 8
};

enum class WaitResult { Changed, Cancelled, TimedOut, Failed };

// One armed change watch on a key. Wait blocks the calling (worker) thread;
// Cancel may be called from any other thread and wakes the waiter.
class ChangeWatch {
 public:
  virtual ~ChangeWatch() = default;
  // Waits for the next change after arming (or after the previous Wait),
  // re-arming itself before it returns Changed. timeout_ms < 0 waits forever.
  virtual WaitResult Wait(int timeout_ms) = 0;
  virtual void Cancel() = 0;
};

// Waits on several watches at once, as one worker watching a key and its
// root does. Wake may be called from any other thread.
class ChangeWaiter {
 public:
  static constexpr int kWoken = -1;
  static constexpr int kFailed = -2;
  virtual ~ChangeWaiter() = default;
  // Blocks until one of the watches (nullptr entries are left out) reports
  // a change, returning its index with the watch re-armed as Wait re-arms
  // it; or until Wake (kWoken); kFailed when waiting is impossible. A Wake
  // given while nobody waits ends the next wait at once.
  virtual int WaitAny(const std::vector<ChangeWatch*>& watches) = 0;
  virtual void Wake() = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing key; never creates one.
  virtual std::unique_ptr<RegistryKey> Open(RootKey root, const std::string& path,
                                            Access access, OpenStatus* status = nullptr,
                                            RegView view = RegView::Native) = 0;
  // Opens the key for reading and writing, creating it (and its parents) when missing.
  virtual std::unique_ptr<RegistryKey> OpenOrCreate(RootKey root, const std::string& path,
                                                    OpenStatus* status = nullptr,
                                                    RegView view = RegView::Native) = 0;
  // Arms a watch on an existing key; nullptr when the key cannot be opened or
  // the filter is empty or has bits beyond the ChangeFilter ones.
  virtual std::unique_ptr<ChangeWatch> Watch(RootKey root, const std::string& path,
                                             bool subtree, unsigned filter,
                                             RegView view = RegView::Native) = 0;
  // Whether RegView::Wow32 is a view of its own (64-bit Windows).
  virtual bool HasWow32View() = 0;
  // Whether both views of the path name one key, as for the keys that
  // 64-bit Windows shares between them; false when either is missing.
  virtual bool ViewsShareKey(RootKey root, const std::string& path) = 0;
  // A waiter for this registry's watches; nullptr when the system has none to give.
  virtual std::unique_ptr<ChangeWaiter> NewWaiter() = 0;
};

}  // namespace platform
