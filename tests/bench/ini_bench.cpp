// The INI store's cost on a full white list (251 slots of four keys):
// BM_FullParse reads one key through a fresh store (stat, read, parse);
// BM_251SlotReads reads "wartosc" from every slot in one batch through one
// store whose parsed copy is warm and the file unchanged, as a scan matches
// one value. The goal is
// BM_251SlotReads <= 3 x BM_FullParse; each is run over files in memory and
// over real files (the portable backend), and the ratios are printed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "tests/doubles/portable/portable.h"
#include "registry/ini_store.h"
#include "tests/support/bench_files.h"

namespace {

using registry::IniStore;

constexpr const char* kPath = "C:\\Windows\\list.vlt";


std::string ListFile() {
  std::string text;
  for (int n = 0; n <= 250; ++n) {
    std::string slot = std::to_string(n);
    text += "[" + slot + "]\r\nnumer=" + slot + "\r\nnazwa=Startup entry " + slot +
            "\r\nsekcja=HKLM_run\r\nwartosc=\"C:\\Program Files\\Vendor " + slot +
            "\\program.exe\" /background /minimized\r\n";
  }
  return text;
}

// One data file per backend, made once.
platform::Files& Backend(bool real) {
  static testing_support::BenchFiles in_memory(false), on_disk(true);
  platform::Files& files = (real ? on_disk : in_memory).Files();
  if (!files.Exists(kPath)) files.Replace(kPath, ListFile());
  return files;
}

void BM_FullParse(benchmark::State& state) {
  platform::Files& files = Backend(state.range(0));
  for (auto _ : state) {
    IniStore store(files, kPath);
    benchmark::DoNotOptimize(store.ReadString("250", "wartosc", "error"));
  }
}

void BM_251SlotReads(benchmark::State& state) {
  platform::Files& files = Backend(state.range(0));
  static const auto slots = [] {
    std::vector<std::string> names;
    for (int n = 0; n <= 250; ++n) names.push_back(std::to_string(n));
    return names;
  }();
  IniStore store(files, kPath);
  store.ReadString("0", "wartosc", "error");  // warms the parsed copy
  for (auto _ : state) {
    IniStore::Batch batch(store);
    for (const auto& slot : slots) benchmark::DoNotOptimize(store.Find(slot, "wartosc"));
  }
}

BENCHMARK(BM_FullParse)->ArgName("real_files")->Arg(0)->Arg(1);
BENCHMARK(BM_251SlotReads)->ArgName("real_files")->Arg(0)->Arg(1);

// Prints as usual and keeps each run's time per iteration for the ratios.
class Keeper : public benchmark::ConsoleReporter {
 public:
  // Plain lines, so that they can be picked out of a log.
  Keeper() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Keeper keeper;
  benchmark::RunSpecifiedBenchmarks(&keeper);
  for (const char* arg : {"0", "1"}) {
    auto parse = keeper.times.find(std::string("BM_FullParse/real_files:") + arg);
    auto reads = keeper.times.find(std::string("BM_251SlotReads/real_files:") + arg);
    if (parse == keeper.times.end() || reads == keeper.times.end() || parse->second <= 0) continue;
    std::printf("ratio BM_251SlotReads / BM_FullParse, %s: %.2f (goal <= 3)\n",
                *arg == '1' ? "real files" : "files in memory", reads->second / parse->second);
  }
  benchmark::Shutdown();
  return 0;
}
