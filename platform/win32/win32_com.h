// COM as the backend uses it: pointers that release themselves, and COM
// for the length of one call. Only for the backend's .cpp files.
#pragma once
#include <windows.h>
// After <windows.h>, which it needs.
#include <objbase.h>
#include <oleauto.h>

#include <string>

namespace platform::win32 {

// A COM pointer that releases what it holds.
template <class T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T** out() { return &p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// A BSTR for one call's argument.
class Bstr {
 public:
  explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), UINT(s.size()))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  operator BSTR() const { return b_; }

 private:
  BSTR b_;
};

// COM for the length of one call, as the thread may not have it yet.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

}  // namespace platform::win32
