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
#include "platform/win32/win32_registry.h"
#include "registry/data_files.h"
#include "registry/rejestralertfrm.h"
#include "registry/scan.h"
#include "toolkit/headless/headless_backend.h"

namespace {

constexpr int kKnownPerKey = 5;
constexpr int kRuns = 7;

const std::string kRoot = "Software\\VeltraneBench" + std::to_string(GetCurrentProcessId());
const std::string kKeyPaths[4] = {kRoot + "\\Run", kRoot + "\\RunOnce", kRoot + "\\UserRun", kRoot + "\\UserRunOnce"};

std::string Known(int key, int i) { return "\"C:\\Program Files\\Vendor " + std::to_string(key * 10 + i) + "\\tool.exe\" /min"; }

class BenchHost : public registry::ScanHost {
 public:
  BenchHost(platform::Files& files, const std::string& list_path)
      : white_(files, list_path), statistics_(files, list_path + ".statistics") {}

  platform::Registry& Registry() override { return registry_; }
  registry::IniStore& WhiteList() override { return white_; }
  registry::IniStore& Statistics() override { return statistics_; }
  tk::ProgressBar& Progress() override { return bar_; }
  void ShowScanPage() override {}
  void StopMonitor() override {}
  void StartMonitor() override {}
  bool LiveRegistryTest() override { return false; }
  void SetBalloonText(const std::string&) override {}
  void ShowBalloon() override {}
  void NoRightsExit() override {}
  void BlockProgram(const std::string&) override {}
  std::string OwnPath() override { return "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe"; }
  registry::HandOffChannel& Channel() { return channel_; }
  platform::win32::Win32Registry& Real() { return registry_; }

 private:
  platform::win32::Win32Registry registry_;
  registry::IniStore white_;
  registry::IniStore statistics_;  // nothing is deleted, so never written
  tk::Form form_{"velmain", "Tvelmain"};
  tk::Label l_[7] = {{&form_, "a"}, {&form_, "b"}, {&form_, "c"}, {&form_, "d"},
                     {&form_, "e"}, {&form_, "f"}, {&form_, "g"}};
  tk::CheckBox c_[3] = {{&form_, "h"}, {&form_, "i"}, {&form_, "j"}};
  registry::HandOffChannel channel_{l_[0], l_[1], l_[2], l_[3], l_[4], l_[5], l_[6], c_[0], c_[1], c_[2]};
  tk::ProgressBar bar_{&form_, "postep"};
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main() {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string list_path = platform::win32::Utf8(temp) + "veltrane-bench-" + std::to_string(GetCurrentProcessId()) + ".vlt";
  platform::win32::Win32Files files;
  BenchHost host(files, list_path);

  // Known values in every fifth slot, strangers in all the others.
  std::string list;
  for (int n = 0; n <= registry::kLastWhiteListSlot; ++n) {
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

  registry::RegistryScan scan(host, host.Channel());
  int alerts = 0;
  backend.modal_answerer = [&](tk::Form& form) {
    auto* alert = dynamic_cast<registry::Trejestralert*>(&form);
    if (!alert) return false;
    ++alerts;
    return backend.Click(alert->Button1);
  };

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

  if (alerts != 2 * kRuns) {
    std::printf("scan benchmark: %d alerts where %d were expected\n", alerts, 2 * kRuns);
    return 1;
  }
  std::printf("scan with a short value: %.1f ms, with a 1 MB value: %.1f ms\n", best[0] * 1000, best[1] * 1000);
  std::printf("ratio full registry scan, 1 MB / short value, real registry under Wine: %.2f (goal <= 2)\n",
              best[1] / best[0]);
  return 0;
}
