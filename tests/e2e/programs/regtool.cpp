// What reg.exe cannot do, for the end-to-end tests:
//   regtool deny <HKCU|HKLM>\<path>            denies everyone every access to
//                                              the key (made when missing)
//   regtool set-counted <root>\<path> <name> <data>
//   regtool has-counted <root>\<path> <name>   exit code 0 when the value is there
// A name is counted, as the native calls take it: "\0" in it stands for a NUL.
#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <string>

namespace {

struct CountedName {
  USHORT length, maximum;
  PWSTR buffer;
};

std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, w.data(), n);
  return w;
}

std::wstring Counted(const char* text) {
  std::wstring name = Wide(text);
  for (size_t at; (at = name.find(L"\\0")) != std::wstring::npos;) name.replace(at, 2, 1, L'\0');
  return name;
}

HKEY Open(const char* key, REGSAM access) {
  std::wstring path = Wide(key);
  HKEY root = path.rfind(L"HKLM\\", 0) == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  path = path.substr(path.find(L'\\') + 1);
  HKEY h = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access | KEY_WOW64_64KEY, nullptr, &h, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return h;
}

template <class Fn>
Fn Native(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

int Deny(const char* key) {
  HKEY h = Open(key, WRITE_DAC | READ_CONTROL);
  if (!h) return 2;
  PACL old_dacl = nullptr, new_dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  GetSecurityInfo(h, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old_dacl, nullptr, &sd);
  EXPLICIT_ACCESSW deny = {};
  deny.grfAccessPermissions = KEY_ALL_ACCESS;
  deny.grfAccessMode = DENY_ACCESS;
  deny.grfInheritance = NO_INHERITANCE;
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD sid_size = sizeof everyone;
  if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sid_size)) return 3;
  BuildTrusteeWithSidW(&deny.Trustee, everyone);
  DWORD rc = SetEntriesInAclW(1, &deny, old_dacl, &new_dacl);
  if (rc == ERROR_SUCCESS)
    rc = SetSecurityInfo(h, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, new_dacl, nullptr);
  LocalFree(new_dacl);
  LocalFree(sd);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? 0 : 3;
}

int SetCounted(const char* key, const char* name_text, const char* data_text) {
  using SetValue = LONG(WINAPI*)(HANDLE, CountedName*, ULONG, ULONG, const void*, ULONG);
  const auto set = Native<SetValue>("NtSetValueKey");
  HKEY h = Open(key, KEY_SET_VALUE);
  if (!h || !set) return 2;
  std::wstring name = Counted(name_text), data = Wide(data_text);
  CountedName n{USHORT(name.size() * 2), USHORT(name.size() * 2), name.data()};
  const LONG status = set(h, &n, 0, REG_SZ, data.c_str(), ULONG((data.size() + 1) * 2));
  RegCloseKey(h);
  return status >= 0 ? 0 : 3;
}

int HasCounted(const char* key, const char* name_text) {
  using QueryValue = LONG(WINAPI*)(HANDLE, CountedName*, int, void*, ULONG, ULONG*);
  const auto query = Native<QueryValue>("NtQueryValueKey");
  HKEY h = Open(key, KEY_QUERY_VALUE);
  if (!h || !query) return 2;
  std::wstring name = Counted(name_text);
  CountedName n{USHORT(name.size() * 2), USHORT(name.size() * 2), name.data()};
  char buffer[512];
  ULONG size = 0;
  const LONG status = query(h, &n, 2, buffer, sizeof buffer, &size);
  RegCloseKey(h);
  return status >= 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "deny" && argc == 3) return Deny(argv[2]);
  if (command == "set-counted" && argc == 5) return SetCounted(argv[2], argv[3], argv[4]);
  if (command == "has-counted" && argc == 4) return HasCounted(argv[2], argv[3]);
  std::fprintf(stderr, "usage: regtool deny|set-counted|has-counted <root>\\<path> ...\n");
  return 64;
}
