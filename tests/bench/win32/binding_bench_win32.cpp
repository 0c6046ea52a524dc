// Allowed entries bound to their programs, on the real registry and files
// under Wine, side by side in one run:
// - a full scan with 50 allowed entries in the current user's Run key whose
//   programs did not change, bound, against the same scan whose identity
//   checks touch no file (as before entries were bound); goal at most 1.3;
//   and the scan of that Run key alone, where the file checks weigh most;
// - the facts of a 20 MB signed program (what an alert shows, and the hash
//   that "Allow" records) against one WinVerifyTrust and one SHA-256 of the
//   file made directly; goal at most 1.5;
// - the day's hashing over 24 hourly scans of 48 bound entries: the most
//   files one scan hashed (goal at most 4, a twelfth) and whether every file
//   was hashed within the day.
// Wall time, the fastest of several runs. Prints; asserts nothing.
#include <windows.h>
#include <bcrypt.h>
#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_files.h"
#include "registry/data_files.h"
#include "registry/scan.h"
#include "tests/bench/win32/win32_bench_host.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

constexpr int kEntries = 50;
constexpr int kDailyEntries = 48;
constexpr int kRuns = 9;

using platform::win32::Wide;

// The hours pass as the benchmark says.
class ClockSystem : public platform::win32::Win32System {
 public:
  uint64_t Now() override { return Win32System::Now() + hours * 36000000000ull; }
  uint64_t hours = 0;
};

// Counts the files hashed.
class CountingFiles : public platform::win32::Win32ProgramFiles {
 public:
  std::optional<std::string> Sha256(const std::string& path) override {
    hashed.insert(path);
    ++count;
    return Win32ProgramFiles::Sha256(path);
  }
  std::set<std::string> hashed;
  int count = 0;
};

// The identity as first found, from memory: the scan without its file checks.
class RememberedFiles : public platform::win32::Win32ProgramFiles {
 public:
  std::optional<platform::FileIdentity> Identity(const std::string& path) override {
    return Remembered(identities, path, [&] { return Win32ProgramFiles::Identity(path); });
  }
  std::optional<platform::FileIdentity> Glance(const std::string& path) override {
    return Remembered(glances, path, [&] { return Win32ProgramFiles::Glance(path); });
  }

 private:
  using Known = std::map<std::string, std::optional<platform::FileIdentity>>;
  template <class Find>
  static std::optional<platform::FileIdentity> Remembered(Known& known, const std::string& path, Find find) {
    auto [at, added] = known.try_emplace(path);
    if (added) at->second = find();
    return at->second;
  }
  Known identities, glances;
};

template <class ProgramFilesImpl, class SystemImpl = platform::win32::Win32System>
using Host = BenchScanHost<platform::win32::Win32Registry, platform::win32::Win32Shell,
                           platform::win32::Win32Processes, SystemImpl, platform::win32::Win32Network,
                           platform::win32::Win32Tasks, platform::win32::Win32Services, ProgramFilesImpl>;

// n programs of 100 KB in the folder, each allowed in a value of the
// current user's key at key_path and in a white-list slot of its own in each
// data folder (written by an older version: the first scan binds them).
void AllowPrograms(platform::win32::Win32Files& files, platform::Registry& registry, const std::string& folder,
                   const std::string& key_path, std::initializer_list<std::string> data_folders, int n) {
  files.MakeFolder(folder);
  std::string list;
  auto key = registry.OpenOrCreate(platform::RootKey::CurrentUser, key_path);
  for (int i = 0; i < n; ++i) {
    const std::string program = folder + "\\tool" + std::to_string(i) + ".exe";
    files.Replace(program, std::string(100 * 1024, char('a' + i % 26)));
    const std::string command = "\"" + program + "\" /min";
    key->WriteText("Tool " + std::to_string(i), command);
    list += "[" + std::to_string(i) + "]\r\nwartosc=" + command + "\r\n";
  }
  for (const std::string& data : data_folders) files.Replace(registry::DataPath(data, registry::white_list::kDataFile), list);
}

std::string BenchKey(const char* name) {
  return "Software\\VeltraneBench" + std::to_string(GetCurrentProcessId()) + "\\" + name;
}

double Verify(const std::wstring& path) {
  const double start = Now();
  WINTRUST_FILE_INFO file{sizeof file};
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{sizeof data};
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return Now() - start;
}

double Hash(const std::wstring& path) {
  const double start = Now();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  BCRYPT_ALG_HANDLE provider = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0);
  static UCHAR chunk[64 * 1024];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read) BCryptHashData(hash, chunk, read, 0);
  UCHAR digest[32];
  BCryptFinishHash(hash, digest, sizeof digest, 0);
  BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(provider, 0);
  CloseHandle(file);
  return Now() - start;
}

std::string Beside(const char* name) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path = exe;
  return platform::win32::Utf8(path.substr(0, path.rfind(L'\\') + 1)) + name;
}

}  // namespace

int main() {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  platform::win32::Win32Files files;
  auto answer_none = [](const registry::Question&) { return registry::Decision{}; };

  // The current user's Run key, bound and not; and the full scan around it.
  const std::string programs = TempDataFolder("programs");
  const std::string bound_folder = TempDataFolder("bound"), free_folder = TempDataFolder("free");
  Host<CountingFiles> bound(files, bound_folder);
  Host<RememberedFiles> free(files, free_folder);
  AllowPrograms(files, bound.Real(), programs, std::string(registry::kRunPath), {bound_folder, free_folder}, kEntries);
  bound.answer = free.answer = answer_none;
  const registry::ScanKey& run = registry::kScanKeys[2];
  registry::RegistryScan(bound).FullRegistryScan();
  registry::RegistryScan(free).FullRegistryScan();
  const int hashed_at_first = static_cast<CountingFiles&>(bound.Platform().program_files).count;
  double with = 1e9, without = 1e9, full_with = 1e9, full_without = 1e9;
  auto timed = [](double& best, auto&& scan) {
    const double start = Now();
    scan();
    best = std::min(best, Now() - start);
  };
  for (int r = 0; r < kRuns; ++r) {
    timed(with, [&] { registry::RegistryScan(bound).ScanAutorunKey(run); });
    timed(without, [&] { registry::RegistryScan(free).ScanAutorunKey(run); });
    timed(full_with, [&] { registry::RegistryScan(bound).FullRegistryScan(); });
    timed(full_without, [&] { registry::RegistryScan(free).FullRegistryScan(); });
  }
  const int hashed_later = static_cast<CountingFiles&>(bound.Platform().program_files).count - hashed_at_first;
  std::printf("Run key with %d allowed entries, bound: %.2f ms, without their file checks: %.2f ms, ratio %.2f\n",
              kEntries, with * 1000, without * 1000, with / without);
  std::printf("full scan with them, bound: %.2f ms, without their file checks: %.2f ms, ratio %.2f (goal <= 1.3)"
              "; %d bound at first, %d hashed later\n",
              full_with * 1000, full_without * 1000, full_with / full_without, hashed_at_first, hashed_later);
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(std::string(registry::kRunPath)).c_str());

  // The facts of a 20 MB signed program.
  const std::string big = Beside("big_signed_probe.exe");
  platform::win32::Win32ProgramFiles program_files;
  double facts = 1e9, floor = 1e9;
  std::string signature;
  for (int r = 0; r < kRuns; ++r) {
    double start = Now();
    const platform::FileFacts found = program_files.Facts(big);
    program_files.Sha256(big);
    facts = std::min(facts, Now() - start);
    signature = found.signer;
    floor = std::min(floor, Verify(Wide(big)) + Hash(Wide(big)));
  }
  std::printf("facts and hash of a 20 MB signed program (signer \"%s\"): %.1f ms, one WinVerifyTrust and one SHA-256: "
              "%.1f ms, ratio %.2f (goal <= 1.5)\n",
              signature.c_str(), facts * 1000, floor * 1000, facts / floor);

  // The day's hashing over 24 hourly scans.
  const std::string daily_folder = TempDataFolder("daily"), daily_path = BenchKey("Daily");
  Host<CountingFiles, ClockSystem> daily(files, daily_folder);
  daily.answer = answer_none;
  AllowPrograms(files, daily.Real(), daily_folder, daily_path, {daily_folder}, kDailyEntries);
  const registry::ScanKey daily_key{"bench", platform::RootKey::CurrentUser, daily_path, "Local machine, autostart."};
  registry::RegistryScan(daily).ScanAutorunKey(daily_key);  // binds them all: hashed now
  auto& clock = static_cast<ClockSystem&>(daily.Platform().system);
  auto& counted = static_cast<CountingFiles&>(daily.Platform().program_files);
  clock.hours = 24;  // a day later, every file is due
  counted.hashed.clear();
  int most = 0;
  for (int hour = 0; hour < 24; ++hour, ++clock.hours) {
    const int before = counted.count;
    registry::RegistryScan(daily).ScanAutorunKey(daily_key);
    most = std::max(most, counted.count - before);
  }
  std::printf("24 hourly scans of %d bound entries: at most %d hashed in one scan (goal <= %d), %zu of %d hashed in the "
              "day; alerts %d\n",
              kDailyEntries, most, kDailyEntries / 12, counted.hashed.size(), kDailyEntries, daily.alerts);

  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(daily_path).c_str());
  return 0;
}
