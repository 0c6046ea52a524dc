#include "platform/win32/win32_registry.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <optional>

#include "platform/utf.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_wait.h"

#ifndef REG_NOTIFY_THREAD_AGNOSTIC
#define REG_NOTIFY_THREAD_AGNOSTIC 0x10000000L
#endif

namespace platform::win32 {
namespace {

// Value names are at most 16383 characters.
constexpr DWORD kMaxValueNameChars = 16383 + 1;
constexpr unsigned kAllFilterBits = kChangeName | kChangeAttributes | kChangeLastSet |
                                    kChangeSecurity;

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::Users: return HKEY_USERS;
    case RootKey::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return nullptr;
}

REGSAM ViewFlag(RegView view) { return view == RegView::Wow32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

OpenStatus StatusOf(LONG rc) {
  switch (rc) {
    case ERROR_SUCCESS: return OpenStatus::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return OpenStatus::NotFound;
    case ERROR_ACCESS_DENIED: return OpenStatus::AccessDenied;
    default: return OpenStatus::Failed;
  }
}

// "A\\B\" and "\A\B" mean A\B, as they do for the portable registry; the
// system would refuse some of these spellings and accept others.
std::optional<std::wstring> CleanPath(const std::string& path) {
  if (HasNul(path)) return std::nullopt;
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('\\', start);
    std::string part = path.substr(start, slash == std::string::npos ? std::string::npos
                                                                      : slash - start);
    if (!part.empty()) out += (out.empty() ? "" : "\\") + part;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return WideExact(out);
}

// Text data as stored: UTF-16 with (usually) its terminating NUL, which
// goes; an odd last byte is half a character and goes too.
std::string TextOf(std::u16string_view units) {
  if (!units.empty() && units.back() == u'\0') units.remove_suffix(1);
  return platform::Utf8(units);
}

std::string TextOf(const BYTE* bytes, size_t size) {
  std::u16string units(size / sizeof(char16_t), u'\0');
  if (!units.empty()) std::memcpy(units.data(), bytes, units.size() * sizeof(char16_t));
  return TextOf(units);
}

// Most values, autostart commands among them, fit: one call reads them.
constexpr DWORD kUsualValueBytes = 4096;

// A value name that holds a NUL reaches the registry whole only through the
// native calls, which take counted names: the Win32 calls would cut it at the
// NUL and act on another value. Looked up at run time: the program imports
// no more than the DLLs Windows always maps.
struct CountedName {
  USHORT length;  // bytes
  USHORT maximum_length;
  PWSTR buffer;
};
struct PartialValue {
  ULONG title_index;
  ULONG type;
  ULONG data_length;
  BYTE data[1];
};
struct BasicValue {
  ULONG title_index;
  ULONG type;
  ULONG name_length;  // bytes
  WCHAR name[1];
};
constexpr int kKeyValueBasicInformation = 0, kKeyValuePartialInformation = 2;
constexpr LONG kNoMoreEntries = LONG(0x8000001A);
constexpr LONG kBufferOverflow = LONG(0x80000005), kBufferTooSmall = LONG(0xC0000023);

struct NativeValueCalls {
  using Query = LONG(WINAPI*)(HANDLE, CountedName*, int, void*, ULONG, ULONG*);
  using Set = LONG(WINAPI*)(HANDLE, CountedName*, ULONG, ULONG, const void*, ULONG);
  using Remove = LONG(WINAPI*)(HANDLE, CountedName*);
  using Enumerate = LONG(WINAPI*)(HANDLE, ULONG, int, void*, ULONG, ULONG*);
  Query query;
  Set set;
  Remove remove;
  Enumerate enumerate;
  static const NativeValueCalls& Get() {
    static const NativeValueCalls calls = [] {
      HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
      return NativeValueCalls{Bind<Query>(ntdll, "NtQueryValueKey"), Bind<Set>(ntdll, "NtSetValueKey"),
                              Bind<Remove>(ntdll, "NtDeleteValueKey"),
                              Bind<Enumerate>(ntdll, "NtEnumerateValueKey")};
    }();
    return calls;
  }
};

// The name as a counted string: nullopt when it is not UTF-8 or too long.
std::optional<std::wstring> CountedNameText(const std::string& name) {
  std::optional<std::wstring> wide = WideExact(name);
  if (!wide || wide->size() >= kMaxValueNameChars) return std::nullopt;
  return wide;
}

CountedName Counted(std::wstring& text) {
  const USHORT bytes = USHORT(text.size() * sizeof(wchar_t));
  return CountedName{bytes, bytes, text.data()};
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(KeyHandle key) : key_(std::move(key)) {}

  std::vector<std::string> ValueNames() override {
    // Names only: RegEnumValueW fetches each value's data too, so a value
    // of a megabyte would cost every scan of its key a megabyte's transfer.
    std::vector<std::string> names;
    const auto enumerate = NativeValueCalls::Get().enumerate;
    if (!enumerate) return names;
    constexpr size_t kMostBytes = offsetof(BasicValue, name) + kMaxValueNameChars * sizeof(WCHAR);
    std::string buffer(offsetof(BasicValue, name) + 256 * sizeof(WCHAR), '\0');
    for (ULONG i = 0;; ++i) {
      ULONG needed = 0;
      LONG status;
      for (;;) {
        status = enumerate(key_.get(), i, kKeyValueBasicInformation, buffer.data(), ULONG(buffer.size()), &needed);
        const bool longer = (status == kBufferOverflow || status == kBufferTooSmall) && needed > buffer.size();
        if (!longer || needed > kMostBytes) break;
        buffer.resize(needed);  // a longer name than any so far
      }
      if (status == kNoMoreEntries) break;
      if (status == kBufferOverflow || status == kBufferTooSmall) continue;  // a name beyond any limit is skipped
      if (status < 0) break;                                                   // other errors end the list
      const auto* info = reinterpret_cast<const BasicValue*>(buffer.data());
      const size_t chars = std::min<size_t>(info->name_length, buffer.size() - offsetof(BasicValue, name)) / sizeof(WCHAR);
      names.push_back(Utf8(info->name, chars));
    }
    return names;
  }

  std::optional<RegValue> Read(const std::string& name) override {
    try {
      if (HasNul(name)) return ReadCounted(name);
      auto wname = NameArg(name);
      if (!wname) return std::nullopt;
      return ReadValue(*wname);
    } catch (const std::bad_alloc&) {
      return std::nullopt;  // a value larger than this process can hold
    }
  }

  std::optional<ValueInfo> Info(const std::string& name) override {
    if (HasNul(name)) {
      std::optional<RegValue> value = Read(name);
      if (!value) return std::nullopt;
      // As stored: text in UTF-16 with its terminating NUL.
      const uint64_t size = value->IsText() ? (platform::Utf16Units(value->data) + 1) * 2 : value->data.size();
      return ValueInfo{value->type, size};
    }
    auto wname = NameArg(name);
    if (!wname) return std::nullopt;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key_.get(), wname->c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return std::nullopt;
    return ValueInfo{type, size};
  }

  std::optional<ValueUpTo> ReadUpTo(const std::string& name, uint64_t max_bytes) override {
    if (HasNul(name) || max_bytes > kUsualValueBytes) return RegistryKey::ReadUpTo(name, max_bytes);
    auto wname = NameArg(name);
    if (!wname) return std::nullopt;
    std::optional<ValueUpTo> read = ReadUsual(*wname);
    if (read && read->info.size > max_bytes) read->value.reset();
    return read;
  }

  bool WriteText(const std::string& name, const std::string& text, ValueType type) override {
    if (type != ValueType::Sz && type != ValueType::ExpandSz) return false;
    auto wtext = WideExact(text);
    if (!wtext || wtext->size() >= MAXDWORD / sizeof(wchar_t)) return false;
    // The stored size includes the terminating NUL, as readers expect.
    const DWORD bytes = DWORD((wtext->size() + 1) * sizeof(wchar_t));
    if (HasNul(name)) {
      auto counted = CountedNameText(name);
      const auto set = NativeValueCalls::Get().set;
      if (!counted || !set) return false;
      CountedName n = Counted(*counted);
      return set(key_.get(), &n, 0, DWORD(type), wtext->c_str(), bytes) >= 0;
    }
    auto wname = NameArg(name);
    return wname && RegSetValueExW(key_.get(), wname->c_str(), 0, DWORD(type),
                                   reinterpret_cast<const BYTE*>(wtext->c_str()), bytes) == ERROR_SUCCESS;
  }

  bool WriteMultiText(const std::string& name, const std::string& data) override {
    auto wdata = WideExact(data);
    auto wname = NameArg(name);
    if (!wdata || !wname || wdata->size() >= MAXDWORD / sizeof(wchar_t)) return false;
    return RegSetValueExW(key_.get(), wname->c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(wdata->data()),
                          DWORD(wdata->size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

  bool DeleteSubkey(const std::string& name) override {
    auto wname = WideExact(name);
    return wname && !wname->empty() && wname->find(L'\\') == std::wstring::npos &&
           RegDeleteKeyW(key_.get(), wname->c_str()) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    if (HasNul(name)) {
      auto counted = CountedNameText(name);
      const auto remove = NativeValueCalls::Get().remove;
      if (!counted || !remove) return false;
      CountedName n = Counted(*counted);
      return remove(key_.get(), &n) >= 0;
    }
    auto wname = NameArg(name);
    return wname && RegDeleteValueW(key_.get(), wname->c_str()) == ERROR_SUCCESS;
  }

  bool WriteDword(const std::string& name, uint32_t value) override {
    const DWORD data = value;
    if (HasNul(name)) {
      auto counted = CountedNameText(name);
      const auto set = NativeValueCalls::Get().set;
      if (!counted || !set) return false;
      CountedName n = Counted(*counted);
      return set(key_.get(), &n, 0, REG_DWORD, &data, sizeof data) >= 0;
    }
    auto wname = NameArg(name);
    return wname && RegSetValueExW(key_.get(), wname->c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                   sizeof data) == ERROR_SUCCESS;
  }

  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    // Key names are at most 255 characters.
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD chars = 256;
      const LONG rc = RegEnumKeyExW(key_.get(), i, name, &chars, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) continue;  // longer than any key may be: not one to name back
      if (rc != ERROR_SUCCESS) break;
      names.push_back(Utf8(name, std::min<DWORD>(chars, 255)));
    }
    return names;
  }

 private:
  // One call into a buffer that usually fits, rather than asking the size
  // first (each call is a round trip to the registry): the value when it
  // fits, else only its type and size.
  std::optional<ValueUpTo> ReadUsual(const std::wstring& name) {
    BYTE usual[kUsualValueBytes];
    DWORD type = 0, got = sizeof usual;
    const LONG rc = RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, usual, &got);
    if (rc == ERROR_MORE_DATA) return ValueUpTo{{type, got}, std::nullopt};
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return ValueUpTo{{type, got}, Value(type, usual, std::min<DWORD>(got, sizeof usual))};
  }

  std::optional<RegValue> ReadValue(const std::wstring& name) {
    std::optional<ValueUpTo> usual = ReadUsual(name);
    if (!usual) return std::nullopt;
    if (usual->value) return std::move(usual->value);
    // Larger, and it may grow between one call and the next.
    DWORD capacity = std::max<DWORD>(DWORD(usual->info.size), 2 * kUsualValueBytes);
    for (int attempt = 0; attempt < 8; ++attempt) {
      // Read as UTF-16, the usual kind, so that text is converted where it lies.
      std::u16string data((capacity + 1) / sizeof(char16_t), u'\0');
      DWORD type = 0, got = capacity;
      const LONG rc =
          RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_MORE_DATA) {
        capacity = got > capacity ? got : capacity * 2;
        continue;
      }
      if (rc != ERROR_SUCCESS) return std::nullopt;
      const size_t bytes = std::min(got, capacity);
      if (IsTextType(type)) return RegValue{type, TextOf(std::u16string_view(data.data(), bytes / sizeof(char16_t)))};
      if (type == REG_MULTI_SZ) return RegValue{type, platform::Utf8(std::u16string_view(data.data(), bytes / sizeof(char16_t)))};
      return RegValue{type, std::string(reinterpret_cast<const char*>(data.data()), bytes)};
    }
    return std::nullopt;
  }

  // A value by its counted name, through the native call.
  std::optional<RegValue> ReadCounted(const std::string& name) {
    auto counted = CountedNameText(name);
    const auto query = NativeValueCalls::Get().query;
    if (!counted || !query) return std::nullopt;
    CountedName n = Counted(*counted);
    std::string buffer(offsetof(PartialValue, data) + kUsualValueBytes, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
      ULONG needed = 0;
      const LONG status = query(key_.get(), &n, kKeyValuePartialInformation, buffer.data(), ULONG(buffer.size()), &needed);
      if (status == kBufferOverflow || status == kBufferTooSmall) {
        buffer.resize(std::max<size_t>(needed, buffer.size() * 2));
        continue;
      }
      if (status < 0) return std::nullopt;
      const auto* info = reinterpret_cast<const PartialValue*>(buffer.data());
      const size_t size = std::min<size_t>(info->data_length, buffer.size() - offsetof(PartialValue, data));
      return Value(info->type, info->data, DWORD(size));
    }
    return std::nullopt;
  }

  static bool IsTextType(DWORD type) { return RegValue{type, {}}.IsText(); }

  static RegValue Value(DWORD type, const BYTE* bytes, DWORD size) {
    if (IsTextType(type)) return RegValue{type, TextOf(bytes, size)};
    if (type == REG_MULTI_SZ) {
      std::u16string units(size / sizeof(char16_t), u'\0');
      if (!units.empty()) std::memcpy(units.data(), bytes, units.size() * sizeof(char16_t));
      return RegValue{type, platform::Utf8(units)};
    }
    return RegValue{type, std::string(reinterpret_cast<const char*>(bytes), size)};
  }

  KeyHandle key_;
};

class Win32Watch : public SignalledWatch {
 public:
  Win32Watch(KeyHandle key, bool subtree, unsigned filter)
      : changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), key_(std::move(key)), subtree_(subtree),
        filter_(filter) {}

  bool Arm() override {
    if (!changed_ || !CanCancel()) return false;
    // Thread-agnostic where the system knows it, so the notification
    // survives the thread that armed it; older systems refuse the flag.
    if (agnostic_) {
      if (Notify(REG_NOTIFY_THREAD_AGNOSTIC)) return true;
      agnostic_ = false;
    }
    return Notify(0);
  }

 private:
  HANDLE Changed() const override { return changed_.get(); }
  bool Notify(DWORD extra) {
    return RegNotifyChangeKeyValue(key_.get(), subtree_ ? TRUE : FALSE, filter_ | extra,
                                   changed_.get(), TRUE) == ERROR_SUCCESS;
  }

  Handle changed_;
  // Declared after the event so that it closes first: closing the key ends
  // the notification before its event goes away.
  KeyHandle key_;
  bool subtree_;
  DWORD filter_;
  bool agnostic_ = true;
};

// A handle of our own to a root, which the watch may close. Opening a root
// with an empty path is no way to get one: Wine hands back the handle it
// keeps for the predefined key, and closing that breaks every later use of
// the root in this process. nullptr for the roots that have no such path.
HKEY OpenRootForWatch(RootKey root) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  HANDLE h = nullptr;
  if (root == RootKey::CurrentUser) {
    auto open = Bind<LONG(WINAPI*)(ACCESS_MASK, HANDLE*)>(ntdll, "RtlOpenCurrentUser");
    return open && open(KEY_NOTIFY, &h) == 0 ? HKEY(h) : nullptr;
  }
  const wchar_t* path = root == RootKey::LocalMachine ? L"\\Registry\\Machine"
                        : root == RootKey::Users      ? L"\\Registry\\User"
                                                      : nullptr;
  if (!path) return nullptr;
  struct CountedString {
    USHORT length, maximum;
    const wchar_t* buffer;
  } name{USHORT(wcslen(path) * 2), USHORT(wcslen(path) * 2 + 2), path};
  struct ObjectAttributes {
    ULONG length;
    HANDLE root;
    CountedString* name;
    ULONG attributes;
    void *security, *quality;
  } attributes{sizeof(ObjectAttributes), nullptr, &name, 0x40 /* OBJ_CASE_INSENSITIVE */, nullptr, nullptr};
  auto open = Bind<LONG(WINAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*)>(ntdll, "NtOpenKey");
  return open && open(&h, KEY_NOTIFY, &attributes) == 0 ? HKEY(h) : nullptr;
}

}  // namespace

std::unique_ptr<ChangeWaiter> Win32Registry::NewWaiter() { return NewSignalledWaiter(); }

bool Win32Registry::HasWow32View() {
  if (sizeof(void*) == 8) return true;
  static const bool wow64 = [] {
    BOOL result = FALSE;
    return IsWow64Process(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

bool Win32Registry::ViewsShareKey(RootKey root, const std::string& path) {
  HKEY base = RootHandle(root);
  auto clean = CleanPath(path);
  if (!base || !clean) return false;
  using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const Query query = Bind<Query>(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey");
  if (!query) return false;
  auto name_in = [&](RegView view) -> std::optional<std::wstring> {
    KeyHandle key;
    if (RegOpenKeyExW(base, clean->c_str(), 0, KEY_QUERY_VALUE | ViewFlag(view), key.out()) != ERROR_SUCCESS)
      return std::nullopt;
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
    std::vector<ULONG> buffer(2048);
    ULONG length = 0;
    if (query(key.get(), 3 /* KeyNameInformation */, buffer.data(), ULONG(buffer.size() * sizeof(ULONG)), &length) != 0)
      return std::nullopt;
    const ULONG bytes = std::min<ULONG>(buffer[0], ULONG((buffer.size() - 1) * sizeof(ULONG)));
    return std::wstring(reinterpret_cast<const wchar_t*>(&buffer[1]), bytes / sizeof(wchar_t));
  };
  const std::optional<std::wstring> native = name_in(RegView::Native), wow32 = name_in(RegView::Wow32);
  return native && wow32 && CompareStringOrdinal(native->c_str(), int(native->size()), wow32->c_str(),
                                                 int(wow32->size()), TRUE) == CSTR_EQUAL;
}

std::unique_ptr<RegistryKey> Win32Registry::Open(RootKey root, const std::string& path,
                                                 Access access, OpenStatus* status, RegView view) {
  OpenStatus ignored;
  OpenStatus& st = status ? *status : ignored;
  HKEY base = RootHandle(root);
  auto clean = CleanPath(path);
  if (!base || !clean) {
    st = OpenStatus::Failed;
    return nullptr;
  }
  REGSAM sam = (access == Access::ReadWrite ? KEY_READ | KEY_WRITE : KEY_READ) | ViewFlag(view);
  KeyHandle key;
  st = StatusOf(RegOpenKeyExW(base, clean->c_str(), 0, sam, key.out()));
  if (st != OpenStatus::Ok) return nullptr;
  return std::make_unique<Win32Key>(std::move(key));
}

std::unique_ptr<RegistryKey> Win32Registry::OpenOrCreate(RootKey root, const std::string& path,
                                                         OpenStatus* status, RegView view) {
  OpenStatus ignored;
  OpenStatus& st = status ? *status : ignored;
  HKEY base = RootHandle(root);
  auto clean = CleanPath(path);
  if (!base || !clean) {
    st = OpenStatus::Failed;
    return nullptr;
  }
  KeyHandle key;
  DWORD disposition = 0;
  st = StatusOf(RegCreateKeyExW(base, clean->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_READ | KEY_WRITE | ViewFlag(view), nullptr, key.out(), &disposition));
  if (st != OpenStatus::Ok) return nullptr;
  return std::make_unique<Win32Key>(std::move(key));
}

std::unique_ptr<ChangeWatch> Win32Registry::Watch(RootKey root, const std::string& path,
                                                  bool subtree, unsigned filter, RegView view) {
  HKEY base = RootHandle(root);
  auto clean = CleanPath(path);
  if (!base || !clean || filter == 0 || (filter & ~kAllFilterBits)) return nullptr;
  KeyHandle key;
  if (clean->empty())
    key = KeyHandle(OpenRootForWatch(root));
  else if (RegOpenKeyExW(base, clean->c_str(), 0, KEY_NOTIFY | ViewFlag(view), key.out()) != ERROR_SUCCESS)
    key.reset();
  if (!key) return nullptr;
  auto watch = std::make_unique<Win32Watch>(std::move(key), subtree, filter);
  if (!watch->Arm()) return nullptr;
  return watch;
}

}  // namespace platform::win32
