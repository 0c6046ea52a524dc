// Owning wrappers for the handles of the Win32 backend. Only for its .cpp files.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/wide.h"

namespace platform::win32 {

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  Handle& operator=(Handle&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = o.h_;
      o.h_ = nullptr;
    }
    return *this;
  }

  HANDLE get() const { return h_; }
  // CreateFile fails with INVALID_HANDLE_VALUE, most others with null.
  explicit operator bool() const { return h_ && h_ != INVALID_HANDLE_VALUE; }
  void reset() {
    if (*this) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

class KeyHandle {
 public:
  KeyHandle() = default;
  explicit KeyHandle(HKEY h) : h_(h) {}
  ~KeyHandle() {
    if (h_) RegCloseKey(h_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;

  HKEY get() const { return h_; }
  HKEY* out() { return &h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HKEY h_ = nullptr;
};

// A NUL inside a name would silently cut it short at the API and address
// a different object, so such names are refused.
inline bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

// A name as the wide functions take it; nullopt when it holds a NUL or is
// not UTF-8, since either would make the call act on another object.
inline std::optional<std::wstring> NameArg(const std::string& s) {
  if (HasNul(s)) return std::nullopt;
  return WideExact(s);
}

// Function pointers looked up by name; the detour through void* keeps the
// compiler from flagging the deliberate change of type.
template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace platform::win32
