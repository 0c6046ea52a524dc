// Program files: what they say of themselves and what Windows verifies.
#include <windows.h>
// After <windows.h>, which they need.
#include <bcrypt.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <mscat.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/native_file_names.h"
#include "platform/win32/system_folders.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_program_files.h"

namespace platform::win32 {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

template <typename Text>
Text Hex(const BYTE* bytes, size_t size, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  Text text;
  for (size_t i = 0; i < size; ++i) {
    text += typename Text::value_type(digits[bytes[i] >> 4]);
    text += typename Text::value_type(digits[bytes[i] & 15]);
  }
  return text;
}

std::string HexNumber(uint64_t number, int width) {
  std::string text(width, '0');
  for (int i = width - 1; i >= 0; --i, number >>= 4) text[i] = "0123456789abcdef"[number & 15];
  return text;
}

// "C:\..." or "\\server\share\...": a relative name would let the current
// folder choose the file, and "\\.\" or "\\?\" names reach devices and pipes.
bool FullyQualified(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return iswalpha(path[0]);
  return path.size() >= 5 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'.' && path[2] != L'?' &&
         path.find(L'\\', 2) != std::wstring::npos;
}

// Opened by its native name; the scope covers the open alone, as it would
// also send the system's loading of DLLs to the native folder. A server
// that answers the open (a share, a pipe) may only identify us, never act
// as us; anything but a file on a disk is no program file.
Handle OpenNative(const std::wstring& path, DWORD access, DWORD flags = 0) {
  Handle file;
  {
    NativeFileNames native;
    file = Handle(CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | flags | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                              nullptr));
  }
  if (file && GetFileType(file.get()) != FILE_TYPE_DISK) file.reset();
  return file;
}

// The file's index on its volume, asked of ntdll directly: the calls that
// also tell the volume's serial number take many times longer.
std::optional<uint64_t> FileIndex(HANDLE file) {
  struct Status {
    union {
      LONG status;
      void* pointer;
    };
    ULONG_PTR information;
  };
  using Query = LONG(WINAPI*)(HANDLE, Status*, void*, ULONG, int);
  static const Query query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationFile")));
  constexpr int kFileInternalInformation = 6;
  LARGE_INTEGER index;
  Status status;
  if (!file || !query || query(file, &status, &index, sizeof index, kFileInternalInformation) < 0) return std::nullopt;
  return uint64_t(index.QuadPart);
}

// The serial number of the volume that holds the file, asked once per
// drive or share: "C:\" or "\\server\share\" in upper case.
std::optional<DWORD> VolumeSerial(const std::wstring& path, HANDLE file) {
  size_t end = 3;
  if (path[1] != L':') {
    const size_t share = path.find(L'\\', 2);
    end = path.find(L'\\', share + 1);
    end = end == std::wstring::npos ? path.size() : end + 1;
  }
  std::wstring root = path.substr(0, end);
  CharUpperBuffW(root.data(), DWORD(root.size()));
  static std::mutex mutex;
  static std::map<std::wstring, DWORD> serials;
  {
    std::lock_guard lock(mutex);
    if (auto known = serials.find(root); known != serials.end()) return known->second;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  std::lock_guard lock(mutex);
  return serials.emplace(root, info.dwVolumeSerialNumber).first->second;
}

// The name of the file for calls that run with redirection on (version
// information, WinVerifyTrust): a 32-bit program on 64-bit Windows reaches
// the native system folder only through Sysnative.
std::wstring Redirected(const std::wstring& path) {
  if (!Wow64()) return path;
  const std::wstring system = FolderFrom(GetSystemDirectoryW);
  if (system.empty() || path.size() <= system.size() || path[system.size()] != L'\\' ||
      CompareStringOrdinal(path.c_str(), int(system.size()), system.c_str(), int(system.size()), TRUE) != CSTR_EQUAL)
    return path;
  const std::wstring windows = FolderFrom(GetSystemWindowsDirectoryW);
  if (windows.empty()) return path;
  return windows + L"\\Sysnative" + path.substr(system.size());
}

bool Rewind(HANDLE file) {
  LARGE_INTEGER start{};
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

// ---- Signatures

struct Trust {
  LONG status = TRUST_E_NOSIGNATURE;
  std::string signer;
};

SignatureKind KindOf(LONG status) {
  switch (status) {
    case ERROR_SUCCESS:
      return SignatureKind::Signed;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case CERT_E_UNTRUSTEDTESTROOT:
      return SignatureKind::UntrustedSigner;
    case TRUST_E_BAD_DIGEST:
      return SignatureKind::ChangedAfterSigning;
    default:
      return SignatureKind::NotSigned;
  }
}

// The subject's common name, else what Windows would show for it.
std::string NameOf(PCCERT_CONTEXT cert) {
  const struct {
    DWORD type;
    void* para;
  } kinds[] = {{CERT_NAME_ATTR_TYPE, const_cast<char*>(szOID_COMMON_NAME)}, {CERT_NAME_SIMPLE_DISPLAY_TYPE, nullptr}};
  for (const auto& kind : kinds) {
    DWORD n = CertGetNameStringW(cert, kind.type, 0, kind.para, nullptr, 0);
    if (n <= 1) continue;
    std::wstring name(n, L'\0');
    n = CertGetNameStringW(cert, kind.type, 0, kind.para, name.data(), n);
    name.resize(wcsnlen(name.data(), name.size()));
    if (!name.empty()) return Utf8(name);
  }
  return {};
}

// The first signer's certificate heads its chain, trusted or not.
std::string SignerOf(HANDLE state) {
  CRYPT_PROVIDER_DATA* data = WTHelperProvDataFromStateData(state);
  if (!data) return {};
  CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(data, 0, FALSE, 0);
  if (!signer) return {};
  CRYPT_PROVIDER_CERT* cert = WTHelperGetProvCertFromChain(signer, 0);
  return cert && cert->pCert ? NameOf(cert->pCert) : std::string();
}

// Never on the network: no revocation, and URLs only from the cache.
Trust Verify(WINTRUST_DATA data) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  const HWND no_user = static_cast<HWND>(INVALID_HANDLE_VALUE);
  Trust trust;
  trust.status = WinVerifyTrust(no_user, &action, &data);
  const SignatureKind kind = KindOf(trust.status);
  if (kind == SignatureKind::Signed || kind == SignatureKind::UntrustedSigner) trust.signer = SignerOf(data.hWVTStateData);
  // The state is there whatever the answer.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(no_user, &action, &data);
  return trust;
}

Trust FileTrust(HANDLE file, const std::wstring& path) {
  WINTRUST_FILE_INFO info{};
  info.cbStruct = sizeof info;
  info.pcwszFilePath = path.c_str();
  info.hFile = file;
  WINTRUST_DATA data{};
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &info;
  Rewind(file);
  return Verify(data);
}

// WINTRUST_CATALOG_INFO as Windows 8 has it, with the context whose
// algorithm made the hash; the headers for Windows 7 lack the member.
struct CatalogInfo8 {
  WINTRUST_CATALOG_INFO info;
  HCATADMIN admin;
};

using AcquireContext2 = BOOL(WINAPI*)(HCATADMIN*, const GUID*, PCWSTR, PCCERT_STRONG_SIGN_PARA, DWORD);
using CalcHash2 = BOOL(WINAPI*)(HCATADMIN, HANDLE, DWORD*, BYTE*, DWORD);

// Windows' own files are signed by the catalogs that name their hashes:
// SHA-256 ones since Windows 8 (whose calls Windows 7 lacks), SHA-1 ones
// before. nullopt when no catalog names the file.
std::optional<Trust> CatalogTrust(HANDLE file, const std::wstring& path) {
  static const HMODULE wintrust = GetModuleHandleW(L"wintrust.dll");
  static const auto acquire2 = Bind<AcquireContext2>(wintrust, "CryptCATAdminAcquireContext2");
  static const auto calc2 = Bind<CalcHash2>(wintrust, "CryptCATAdminCalcHashFromFileHandle2");
  for (const bool sha256 : {true, false}) {
    HCATADMIN admin = nullptr;
    if (sha256 ? !(acquire2 && calc2 && acquire2(&admin, nullptr, BCRYPT_SHA256_ALGORITHM, nullptr, 0))
               : !CryptCATAdminAcquireContext(&admin, nullptr, 0))
      continue;
    BYTE hash[64];
    DWORD size = sizeof hash;
    const bool hashed = Rewind(file) && (sha256 ? calc2(admin, file, &size, hash, 0)
                                                : CryptCATAdminCalcHashFromFileHandle(file, &size, hash, 0));
    HCATINFO catalog = hashed ? CryptCATAdminEnumCatalogFromHash(admin, hash, size, 0, nullptr) : nullptr;
    std::optional<Trust> trust;
    CATALOG_INFO where{};
    where.cbStruct = sizeof where;
    if (catalog && CryptCATCatalogInfoFromContext(catalog, &where, 0)) {
      const std::wstring tag = Hex<std::wstring>(hash, size, true);
      CatalogInfo8 info{};
      info.info.cbStruct = sha256 ? sizeof info : sizeof info.info;
      info.info.pcwszCatalogFilePath = where.wszCatalogFile;
      info.info.pcwszMemberTag = tag.c_str();
      info.info.pcwszMemberFilePath = path.c_str();
      info.info.hMemberFile = file;
      info.info.pbCalculatedFileHash = hash;
      info.info.cbCalculatedFileHash = size;
      info.admin = admin;
      WINTRUST_DATA data{};
      data.dwUnionChoice = WTD_CHOICE_CATALOG;
      data.pCatalog = &info.info;
      Rewind(file);
      trust = Verify(data);
    }
    if (catalog) CryptCATAdminReleaseCatalogContext(admin, catalog, 0);
    CryptCATAdminReleaseContext(admin, 0);
    if (trust) return trust;
  }
  return std::nullopt;
}

// ---- Version information

// The CompanyName of the first translation, else of US English in Unicode.
std::optional<std::string> CompanyOf(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<DWORD> block((size + 3) / 4);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::nullopt;
  const auto* end = reinterpret_cast<const BYTE*>(block.data()) + size;

  std::vector<std::wstring> tables;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && value && length >= 4) {
    const auto* pair = static_cast<const BYTE*>(value);
    // Language, then code page, each a little-endian WORD.
    const BYTE named[4] = {pair[1], pair[0], pair[3], pair[2]};
    tables.push_back(Hex<std::wstring>(named, 4, true));
  }
  tables.push_back(L"040904B0");
  for (const std::wstring& table : tables) {
    const std::wstring name = L"\\StringFileInfo\\" + table + L"\\CompanyName";
    if (!VerQueryValueW(block.data(), name.c_str(), &value, &length) || !value || length == 0) continue;
    // Within the block, whatever the resource claims.
    const auto* text = static_cast<const wchar_t*>(value);
    const size_t room = size_t(end - static_cast<const BYTE*>(value)) / sizeof(wchar_t);
    const std::wstring company(text, wcsnlen(text, std::min<size_t>(length, room)));
    if (company.empty()) return std::nullopt;
    return Utf8(company);
  }
  return std::nullopt;
}

// ---- Hashing

struct FreeHash {
  void operator()(BCRYPT_HASH_HANDLE h) const { BCryptDestroyHash(h); }
};

// Opened once, kept while we run: a scan hashes many files, and a
// provider serves hashes on any thread.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    return BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? h : nullptr;
  }();
  return provider;
}

}  // namespace

FileFacts Win32ProgramFiles::Facts(const std::string& path) {
  const auto name = NameArg(path);
  if (!name || !FullyQualified(*name)) return {};
  FileFacts facts;
  const std::wstring outside = Redirected(*name);
  Handle file = OpenNative(*name, GENERIC_READ);
  if (!file) {
    // There, but not to be read (locked, or refused to us): its size and
    // company can still be told, its signature not.
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    BOOL found;
    {
      NativeFileNames native;
      found = GetFileAttributesExW(name->c_str(), GetFileExInfoStandard, &attributes);
    }
    if (!found || (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    facts.exists = true;
    facts.size = uint64_t(attributes.nFileSizeHigh) << 32 | attributes.nFileSizeLow;
    facts.company = CompanyOf(outside);
    return facts;
  }
  facts.exists = true;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.get(), &size)) facts.size = uint64_t(size.QuadPart);

  Trust trust = FileTrust(file.get(), outside);
  if (trust.status == TRUST_E_NOSIGNATURE || trust.status == TRUST_E_SUBJECT_FORM_UNKNOWN ||
      trust.status == TRUST_E_PROVIDER_UNKNOWN) {
    if (std::optional<Trust> catalog = CatalogTrust(file.get(), outside)) trust = std::move(*catalog);
  }
  facts.signature = KindOf(trust.status);
  if (facts.signature == SignatureKind::Signed || facts.signature == SignatureKind::UntrustedSigner)
    facts.signer = std::move(trust.signer);
  facts.company = CompanyOf(outside);
  return facts;
}

std::optional<FileIdentity> Win32ProgramFiles::Identity(const std::string& path) {
  const auto name = NameArg(path);
  if (!name || !FullyQualified(*name)) return std::nullopt;
  // Attributes alone: no one's sharing stands in the way.
  Handle file = OpenNative(*name, FILE_READ_ATTRIBUTES);
  FILE_BASIC_INFO basic;
  LARGE_INTEGER size;
  const std::optional<uint64_t> index = FileIndex(file.get());
  if (!file || !index || !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
      !GetFileSizeEx(file.get(), &size))
    return std::nullopt;
  const std::optional<DWORD> serial = VolumeSerial(*name, file.get());
  if (!serial) return std::nullopt;
  FileIdentity identity;
  identity.size = uint64_t(size.QuadPart);
  identity.write_time = uint64_t(basic.LastWriteTime.QuadPart);
  identity.change_time = uint64_t(basic.ChangeTime.QuadPart);
  identity.file_id = HexNumber(*serial, 8) + "-" + HexNumber(*index, 16);
  return identity;
}

std::optional<FileIdentity> Win32ProgramFiles::Glance(const std::string& path) {
  const auto name = NameArg(path);
  if (!name || !FullyQualified(*name)) return std::nullopt;
  // NtQueryFullAttributesFile: what GetFileAttributesExW asks, with the change time.
  struct UnicodeString {
    USHORT length, maximum;
    PWSTR buffer;
  };
  struct ObjectAttributes {
    ULONG length;
    HANDLE root;
    UnicodeString* name;
    ULONG attributes;
    void* descriptor;
    void* quality;
  };
  struct OpenInformation {
    LARGE_INTEGER creation, access, write, change, allocation, end;
    ULONG attributes;
  };
  using Query = LONG(WINAPI*)(ObjectAttributes*, OpenInformation*);
  static const Query query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryFullAttributesFile")));
  std::wstring nt = (*name)[1] == L':' ? L"\\??\\" + *name : L"\\??\\UNC" + name->substr(1);
  if (!query || nt.size() * 2 > 0xFFFE) return std::nullopt;
  UnicodeString text{USHORT(nt.size() * 2), USHORT(nt.size() * 2), nt.data()};
  constexpr ULONG kCaseInsensitive = 0x40;
  ObjectAttributes object{sizeof(ObjectAttributes), nullptr, &text, kCaseInsensitive, nullptr, nullptr};
  OpenInformation info;
  LONG status;
  {
    NativeFileNames native;
    status = query(&object, &info);
  }
  if (status < 0 || (info.attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  return FileIdentity{uint64_t(info.end.QuadPart), uint64_t(info.write.QuadPart), uint64_t(info.change.QuadPart), {}};
}

std::optional<std::string> Win32ProgramFiles::Sha256(const std::string& path) {
  const auto name = NameArg(path);
  const BCRYPT_ALG_HANDLE provider = Sha256Provider();
  if (!name || !FullyQualified(*name) || !provider) return std::nullopt;
  Handle file = OpenNative(*name, GENERIC_READ, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) return std::nullopt;

  // Windows 7 wants the hash object's memory from the caller.
  DWORD object_size = 0, got = 0;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(provider, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&object_size),
                                        sizeof object_size, &got, 0)))
    return std::nullopt;
  std::vector<UCHAR> object(object_size);
  Owned<BCRYPT_HASH_HANDLE, FreeHash> hash;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(provider, hash.out(), object.data(), object_size, nullptr, 0, 0)))
    return std::nullopt;
  std::vector<UCHAR> chunk(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk.data(), DWORD(chunk.size()), &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), chunk.data(), read, 0))) return std::nullopt;
  }
  UCHAR digest[32];
  if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest, sizeof digest, 0))) return std::nullopt;
  return Hex<std::string>(digest, sizeof digest, false);
}

std::string Win32ProgramFiles::Grouped(uint64_t number) {
  const std::wstring digits = std::to_wstring(number);
  wchar_t decimal[16], thousand[16], grouping[16];
  DWORD negative = 1;
  if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 16) ||
      !GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousand, 16) ||
      !GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16))
    return Utf8(digits);
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_INEGNUMBER | LOCALE_RETURN_NUMBER,
                  reinterpret_cast<wchar_t*>(&negative), sizeof negative / sizeof(wchar_t));
  // The locale says "3;0" for groups of three throughout, "3;2;0" for
  // 12,34,567, "3" for 1234,567; the format wants 3, 32 and 30.
  UINT groups = 0;
  bool repeats = false;
  for (const wchar_t* at = grouping; *at; ++at) {
    if (*at < L'0' || *at > L'9') continue;
    repeats = *at == L'0' && at != grouping;
    if (!repeats) groups = groups * 10 + UINT(*at - L'0');
  }
  if (!repeats) groups *= 10;
  NUMBERFMTW format{};
  format.NumDigits = 0;
  // Wine writes nothing at all for 0 without its "leading" zero.
  format.LeadingZero = 1;
  format.Grouping = groups;
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousand;
  format.NegativeOrder = negative;
  const int n = GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, nullptr, 0);
  if (n <= 0) return Utf8(digits);
  std::wstring shown(n, L'\0');
  if (GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, shown.data(), n) <= 0)
    return Utf8(digits);
  shown.resize(wcsnlen(shown.data(), shown.size()));
  return shown.empty() ? Utf8(digits) : Utf8(shown);
}

std::string Win32ProgramFiles::Expand(const std::string& text) {
  const auto wide = NameArg(text);
  if (!wide) return text;
  std::wstring expanded(wide->size() + 128, L'\0');
  // The variables may change between the calls; a few tries are plenty.
  for (int tries = 0; tries < 4; ++tries) {
    const DWORD n = ExpandEnvironmentStringsW(wide->c_str(), expanded.data(), DWORD(expanded.size()));
    if (n == 0) return text;
    if (n <= expanded.size()) {
      expanded.resize(wcsnlen(expanded.data(), expanded.size()));
      return Utf8(expanded);
    }
    expanded.resize(n);
  }
  return text;
}

}  // namespace platform::win32
