// The guarded log-on places on the real registry under Wine, side by side in
// one run: a full scan against the four Run keys alone (the other places empty
// or absent), a white list of 500 slots against one of 5, the time from a
// write to the watch's report, and the processor time while every watch
// waits. Prints ratios and times; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "components/zel_registry_monitor.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_files.h"
#include "registry/data_files.h"
#include "registry/scan.h"
#include "tests/bench/win32/win32_bench_host.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

constexpr int kValues = 20;
constexpr int kRuns = 40;
constexpr int kWrites = 20;
const wchar_t* const kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The log-on places alone: a copy without an administrator's rights leaves
// the scheduled tasks and the services out, which a benchmark of their own
// measures.
class LogonPlacesOnly : public platform::win32::Win32System {
 public:
  bool HasAdminRights() override { return false; }
};
using Host = BenchScanHost<platform::win32::Win32Registry, platform::win32::Win32Shell, platform::win32::Win32Processes,
                           LogonPlacesOnly, platform::win32::Win32Network, platform::win32::Win32Tasks,
                           platform::win32::Win32Services>;

std::string Value(int i) { return "\"C:\\Program Files\\Bench " + std::to_string(i) + "\\tool.exe\" /min"; }

// A white list of that many slots, none of which holds a scanned value.
std::string WhiteList(int slots) {
  std::string list;
  for (int n = 0; n < slots; ++n)
    list += "[" + std::to_string(n) + "]\r\nwartosc=\"C:\\Program Files\\Other " + std::to_string(n) + "\\other.exe\"\r\n";
  return list;
}

double ProcessSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto seconds = [](FILETIME t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

}  // namespace

int main() {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  const std::string data_folder = TempDataFolder("places");
  const std::string list_path = registry::DataPath(data_folder, registry::white_list::kDataFile);
  platform::win32::Win32Files files;
  Host host(files, data_folder);
  // Every value is asked about and left unanswered: each scan does the same work.
  host.answer = [](const registry::Question&) { return registry::Decision{}; };

  HKEY run = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
  auto set = [&](const std::string& name, const std::string& data) {
    const std::wstring n = platform::win32::Wide(name), d = platform::win32::Wide(data);
    RegSetValueExW(run, n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(d.c_str()), DWORD((d.size() + 1) * 2));
  };
  for (int i = 0; i < kValues; ++i) set("Bench " + std::to_string(i), Value(i));

  registry::RegistryScan scan(host);
  auto timed = [&](double& best, auto&& work) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    best = std::min(best, Seconds(start, end));
  };
  auto four_key_scan = [&] {
    for (const registry::ScanKey& key : registry::kScanKeys) scan.ScanAutorunKey(key);
  };
  auto full_scan = [&] { scan.FullRegistryScan(); };
  // Side by side, so that whatever else the machine does weighs on each
  // alike; each list read once before it is timed, as a scan finds it.
  double four_keys = 1e9, full_small = 1e9, full_large = 1e9;
  for (int r = 0; r < kRuns; ++r) {
    files.Replace(list_path, WhiteList(5));
    full_scan();
    timed(four_keys, four_key_scan);
    timed(full_small, full_scan);
    files.Replace(list_path, WhiteList(registry::white_list::kLastSlot + 1));
    full_scan();
    timed(full_large, full_scan);
  }

  // The watch of every place, as the live test arms it.
  components::TzelRegistryMonitor monitor(host.Real());
  std::atomic<int> reports{0};
  monitor.SetKeys(registry::AutostartKeys(host.Real()));
  monitor.SetOnChange([&] { ++reports; });
  monitor.SetActive(true);
  monitor.Loaded();

  const double idle_from = ProcessSeconds();
  Sleep(30000);
  const double idle = ProcessSeconds() - idle_from;

  std::vector<double> delays;
  for (int w = 0; w < kWrites; ++w) {
    const int before = reports;
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    set("Live", "C:\\live" + std::to_string(w) + ".exe");
    do {
      app.ProcessMessages();
      Sleep(1);
      QueryPerformanceCounter(&now);
    } while (reports == before && Seconds(start, now) < 5);
    delays.push_back(Seconds(start, now));
    monitor.StartMonitor();  // as the scan after a report does
  }
  monitor.StopMonitor();
  std::sort(delays.begin(), delays.end());

  for (int i = 0; i < kValues; ++i) RegDeleteValueW(run, platform::win32::Wide("Bench " + std::to_string(i)).c_str());
  RegDeleteValueW(run, L"Live");
  RegCloseKey(run);
  DeleteFileW(platform::win32::Wide(list_path).c_str());

  std::printf("scan of the four Run keys: %.1f ms, of every place: %.1f ms\n", four_keys * 1000, full_small * 1000);
  std::printf("ratio full scan of every place / the four Run keys, real registry under Wine: %.2f (goal <= 1.3)\n",
              full_small / four_keys);
  std::printf("ratio full scan of %d values, 500-slot / 5-slot white list: %.2f (goal <= 1.2)\n", kValues,
              full_large / full_small);
  std::printf("live watch: median %.0f ms from a write to the report over %d writes (goal <= 1000 ms)\n",
              delays[delays.size() / 2] * 1000, kWrites);
  std::printf("live watch: %.0f ms of processor time in 30 s idle with every watch armed (goal: none measurable)\n",
              std::max(idle, 0.0) * 1000);
  return 0;
}
