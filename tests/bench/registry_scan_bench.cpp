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

#include "tests/doubles/portable/portable.h"
#include "registry/data_files.h"
#include "registry/scan.h"
#include "tests/bench/bench_scan_host.h"
#include "tests/support/bench_files.h"
#include "tests/doubles/headless/headless_backend.h"
#include "tests/support/data_paths.h"

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

using BenchHost = BenchScanHost<platform::portable::PortableRegistry, platform::portable::PortableShell,
                                platform::portable::PortableProcesses, platform::portable::PortableSystem,
                                platform::portable::PortableNetwork>;

// A white list with every slot in use and the four keys' values, each
// `length` characters long.
void Seed(platform::Files& files, platform::portable::PortableRegistry& registry, int length) {
  std::string list;
  for (int n = 0; n <= registry::white_list::kLastSlot; ++n) {
    // Known value i sits in slot 5 i; every other slot holds a stranger.
    const bool known = n % 5 == 0 && n / 5 < kKnown;
    const std::string text = CommandLine(known ? "Vendor " + std::to_string(n / 5) : "Other " + std::to_string(n), length);
    list += "[" + std::to_string(n) + "]\r\nnumer=" + std::to_string(n) + "\r\nnazwa=Entry " + std::to_string(n) +
            "\r\nsekcja=HKLM_run\r\nwartosc=" + text + "\r\n";
  }
  files.Replace(testing_support::kWhiteListPath, list);
  for (int i = 0; i < kValues; ++i) {
    const registry::ScanKey& key = registry::kScanKeys[i % 4];
    const std::string tag = (i < kKnown ? "Vendor " : "New ") + std::to_string(i);
    registry.Set(key.root, std::string(key.path), "Entry " + std::to_string(i),
                  platform::RegValue{1, CommandLine(tag, length)});
  }
}

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
  BenchHost host(*files, "C:\\Windows");
  Seed(*files, host.Real(), length);
  registry::RegistryScan scan(host);
  host.answer = [](const registry::Question&) { return registry::Decision{registry::Answer::Allow}; };
  // Processor time, not wall time: the machine may be shared.
  const std::clock_t start = std::clock();
  for (auto _ : state) scan.FullRegistryScan();
  const double elapsed = double(std::clock() - start) / CLOCKS_PER_SEC;
  if (host.alerts != int(state.iterations()) * (kValues - kKnown)) state.SkipWithError("unexpected number of alerts");
  ratios.seconds[{int(state.range(0)), length}] = elapsed / double(state.iterations());
  state.counters["scans"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_FullRegistryScan)->ArgNames({"real_files", "value_chars"})->ArgsProduct({{0, 1}, {40, 400}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
