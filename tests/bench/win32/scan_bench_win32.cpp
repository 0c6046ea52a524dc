// A full registry scan on the real registry (run under Wine): four keys with
// five known values each and one new value, which is 1 MB long in one run
// and short in the other; the white list's 501 slots are all in use and the
// alert is answered "Allow". Prints the ratio of the two times; the goal is
// at most 2. Wall time, the fastest of several runs: the registry's work is
// done by another process, and the machine may be shared.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_files.h"
#include "registry/data_files.h"
#include "registry/scan.h"
#include "tests/bench/win32/win32_bench_host.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

constexpr int kKnownPerKey = 5;
constexpr int kRuns = 7;

const std::string kRoot = "Software\\VeltraneBench" + std::to_string(GetCurrentProcessId());
const std::string kKeyPaths[4] = {kRoot + "\\Run", kRoot + "\\RunOnce", kRoot + "\\UserRun", kRoot + "\\UserRunOnce"};

std::string Known(int key, int i) { return "\"C:\\Program Files\\Vendor " + std::to_string(key * 10 + i) + "\\tool.exe\" /min"; }

}  // namespace

int main() {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  const std::string data_folder = TempDataFolder("bench");
  const std::string list_path = registry::DataPath(data_folder, registry::white_list::kDataFile);
  platform::win32::Win32Files files;
  Win32BenchHost host(files, data_folder);

  // Known values in every fifth slot, strangers in all the others.
  std::string list;
  for (int n = 0; n <= registry::white_list::kLastSlot; ++n) {
    const bool known = n % 5 == 0 && n / 5 < 4 * kKnownPerKey;
    const std::string text = known ? Known(n / 5 / kKnownPerKey, n / 5 % kKnownPerKey)
                                   : "\"C:\\Program Files\\Other " + std::to_string(n) + "\\other.exe\"";
    list += "[" + std::to_string(n) + "]\r\nwartosc=" + text + "\r\n";
  }
  files.Replace(list_path, list);

  registry::ScanKey keys[4];
  for (int k = 0; k < 4; ++k) {
    keys[k] = registry::ScanKey{"bench", platform::RootKey::CurrentUser, kKeyPaths[k], "Local machine, autostart."};
    auto key = host.Real().OpenOrCreate(platform::RootKey::CurrentUser, kKeyPaths[k]);
    for (int i = 0; i < kKnownPerKey; ++i) key->WriteText("Known " + std::to_string(i), Known(k, i));
  }

  registry::RegistryScan scan(host);
  host.answer = [](const registry::Question&) { return registry::Decision{registry::Answer::Allow}; };

  const std::string short_value = "\"C:\\Program Files\\New\\new.exe\" /min";
  const std::string huge_value = "C:\\" + std::string(1 << 20, 'h') + "\\huge.exe";
  double best[2] = {1e9, 1e9};
  for (int run = 0; run < kRuns; ++run) {
    for (int huge = 0; huge < 2; ++huge) {
      host.Real().Open(platform::RootKey::CurrentUser, kKeyPaths[0], platform::Access::ReadWrite)
          ->WriteText("New", huge ? huge_value : short_value);
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      for (const registry::ScanKey& key : keys) scan.ScanAutorunKey(key);
      QueryPerformanceCounter(&end);
      best[huge] = std::min(best[huge], Seconds(start, end));
    }
  }

  for (const std::string& path : {kKeyPaths[0], kKeyPaths[1], kKeyPaths[2], kKeyPaths[3], kRoot})
    RegDeleteKeyW(HKEY_CURRENT_USER, platform::win32::Wide(path).c_str());
  DeleteFileW(platform::win32::Wide(list_path).c_str());

  if (host.alerts != 2 * kRuns) {
    std::printf("scan benchmark: %d alerts where %d were expected\n", host.alerts, 2 * kRuns);
    return 1;
  }
  std::printf("scan with a short value: %.1f ms, with a 1 MB value: %.1f ms\n", best[0] * 1000, best[1] * 1000);
  std::printf("ratio full registry scan, 1 MB / short value, real registry under Wine: %.2f (goal <= 2)\n",
              best[1] / best[0]);
  return 0;
}
