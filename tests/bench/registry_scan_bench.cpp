// A full registry scan of 100 autostart values (25 in each key) against a
// white list whose 501 slots are all in use: 90 values are found in slots
// spread over the list, 10 are new and each alert is answered "Allow", which
// finds the list full. Values and list entries are 40 or 400 characters
// long; the goal is a 400-character run within 1.3 times the 40-character
// one, over files in memory and over real files.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "platform/portable/portable.h"
#include "registry/data_files.h"
#include "registry/rejestralertfrm.h"
#include "registry/scan.h"
#include "tests/support/bench_files.h"
#include "toolkit/headless/headless_backend.h"

namespace {

constexpr int kValues = 100;
constexpr int kKnown = 90;

// A command line of exactly `length` characters (at least 40), told apart
// near its start as real paths are.
std::string CommandLine(const std::string& tag, int length) {
  std::string text = "\"C:\\" + tag + "\\Program Files\\";
  text.resize(length - 15, 'x');
  return text + "\\tool.exe\" /min";
}

class BenchHost : public registry::ScanHost {
 public:
  BenchHost(platform::Files& files, int length)
      : white_(files, registry::kWhiteListPath), statistics_(files, registry::kStatisticsPath) {
    std::string list;
    for (int n = 0; n <= registry::kLastWhiteListSlot; ++n) {
      // Known value i sits in slot 5 i; every other slot holds a stranger.
      const bool known = n % 5 == 0 && n / 5 < kKnown;
      const std::string text = CommandLine(known ? "Vendor " + std::to_string(n / 5) : "Other " + std::to_string(n), length);
      list += "[" + std::to_string(n) + "]\r\nnumer=" + std::to_string(n) + "\r\nnazwa=Entry " + std::to_string(n) +
              "\r\nsekcja=HKLM_run\r\nwartosc=" + text + "\r\n";
    }
    files.Replace(registry::kWhiteListPath, list);
    for (int i = 0; i < kValues; ++i) {
      const registry::ScanKey& key = registry::kScanKeys[i % 4];
      const std::string tag = (i < kKnown ? "Vendor " : "New ") + std::to_string(i);
      registry_.Set(key.root, std::string(key.path), "Entry " + std::to_string(i),
                    platform::RegValue{1, CommandLine(tag, length)});
    }
  }

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

 private:
  platform::portable::PortableRegistry registry_;
  registry::IniStore white_;
  registry::IniStore statistics_;  // nothing is deleted, so never written
  tk::Form form_{"velmain", "Tvelmain"};
  tk::Label l_[7] = {{&form_, "a"}, {&form_, "b"}, {&form_, "c"}, {&form_, "d"},
                     {&form_, "e"}, {&form_, "f"}, {&form_, "g"}};
  tk::CheckBox c_[3] = {{&form_, "h"}, {&form_, "i"}, {&form_, "j"}};
  registry::HandOffChannel channel_{l_[0], l_[1], l_[2], l_[3], l_[4], l_[5], l_[6], c_[0], c_[1], c_[2]};
  tk::ProgressBar bar_{&form_, "postep"};
};

// Processor time per scan of each run, for the ratio printed at the end.
struct Ratios {
  std::map<std::pair<int, int>, double> seconds;
  ~Ratios() {
    for (int real : {0, 1}) {
      auto short_text = seconds.find({real, 40}), long_text = seconds.find({real, 400});
      if (short_text == seconds.end() || long_text == seconds.end() || short_text->second <= 0) continue;
      std::printf("ratio BM_FullRegistryScan 400 / 40 characters, %s: %.2f (goal <= 1.3)\n",
                  real ? "real files" : "files in memory", long_text->second / short_text->second);
    }
  }
} ratios;

void BM_FullRegistryScan(benchmark::State& state) {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  testing_support::BenchFiles bench_files(state.range(0));
  platform::Files* files = &bench_files.Files();
  const int length = int(state.range(1));
  BenchHost host(*files, length);
  registry::RegistryScan scan(host, host.Channel());
  int alerts = 0;
  backend.modal_answerer = [&](tk::Form& form) {
    auto* alert = dynamic_cast<registry::Trejestralert*>(&form);
    if (!alert) return false;
    ++alerts;
    return backend.Click(alert->Button1);
  };
  // Processor time, not wall time: the machine may be shared.
  const std::clock_t start = std::clock();
  for (auto _ : state) scan.FullRegistryScan();
  const double elapsed = double(std::clock() - start) / CLOCKS_PER_SEC;
  if (alerts != int(state.iterations()) * (kValues - kKnown)) state.SkipWithError("unexpected number of alerts");
  ratios.seconds[{int(state.range(0)), length}] = elapsed / double(state.iterations());
  state.counters["scans"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_FullRegistryScan)->ArgNames({"real_files", "value_chars"})->ArgsProduct({{0, 1}, {40, 400}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
