// Owning wrappers for the handles of the Win32 backends.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <utility>

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

// One owner for each kind of object that is freed its own way: registry
// keys, GDI objects (DeleteObject), memory device contexts (DeleteDC),
// icons, menus, and the memory of LocalAlloc that some calls return.
template <typename T, typename Free>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T h) : h_(h) {}
  ~Owned() { reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  Owned& operator=(Owned&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }

  T get() const { return h_; }
  // For the calls that open into a pointer: frees the one held first.
  T* out() {
    reset();
    return &h_;
  }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(T h = nullptr) {
    if (h_) Free()(h_);
    h_ = h;
  }
  T release() {
    T h = h_;
    h_ = nullptr;
    return h;
  }

 private:
  T h_ = nullptr;
};

struct FreeKey {
  void operator()(HKEY h) const { RegCloseKey(h); }
};
struct FreeGdiObject {
  void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct FreeDc {
  void operator()(HDC h) const { DeleteDC(h); }
};
struct FreeIcon {
  void operator()(HICON h) const { DestroyIcon(h); }
};
struct FreeMenu {
  void operator()(HMENU h) const { DestroyMenu(h); }
};
struct FreeScreenDc {
  void operator()(HDC h) const { ReleaseDC(nullptr, h); }
};
struct FreeFind {
  void operator()(HANDLE h) const { FindClose(h); }
};
struct FreeLocal {
  void operator()(void* p) const { LocalFree(p); }
};

using KeyHandle = Owned<HKEY, FreeKey>;
using FontHandle = Owned<HFONT, FreeGdiObject>;
using BrushHandle = Owned<HBRUSH, FreeGdiObject>;
using PenHandle = Owned<HPEN, FreeGdiObject>;
using BitmapHandle = Owned<HBITMAP, FreeGdiObject>;
using DcHandle = Owned<HDC, FreeDc>;
using ScreenDc = Owned<HDC, FreeScreenDc>;  // GetDC(nullptr)
using IconHandle = Owned<HICON, FreeIcon>;
using MenuHandle = Owned<HMENU, FreeMenu>;
using FindHandle = Owned<HANDLE, FreeFind>;  // FindFirstFile's, once it is not INVALID_HANDLE_VALUE
template <typename T>
using LocalMemory = Owned<T, FreeLocal>;

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
