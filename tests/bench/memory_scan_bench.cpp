// A memory scan of 300 running programs against a full black list (251
// command lines, none of them running), as "Scan now" makes it. The entry
// length is 1x (64 characters) or 10x; the goal is a 10x run within
// 1.3 times the 1x run, over files in memory and over real files.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "tests/doubles/portable/portable.h"
#include "process/memory_scan.h"
#include "registry/data_files.h"
#include "tests/support/bench_files.h"
#include "tests/bench/bench_scan_host.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

constexpr const char* kBlackList = "C:\\Windows\\disallowed.vlt";

using PortableContext = BenchScanHost<platform::portable::PortableRegistry, platform::portable::PortableShell,
                                      platform::portable::PortableProcesses, platform::portable::PortableSystem,
                                      platform::portable::PortableNetwork>;

class BenchHost : public PortableContext {
 public:
  BenchHost(platform::Files& files, int length_factor) : PortableContext(files, "C:\\Windows") {
    std::string text;
    // Entries of 64 x length_factor characters: a longer folder and more arguments.
    const std::string folder(8 * length_factor, 'x');
    for (int n = 0; n <= registry::kLastSlot; ++n) {
      std::string entry = "\"C:\\Program Files\\Vendor " + std::to_string(n) + "\\";
      entry.append(folder).append("\\tool.exe\" /minimized ");
      entry.resize(64 * length_factor, 'a');
      text.append("[").append(std::to_string(n)).append("]\r\nsciezka=").append(entry).append("\r\n");
    }
    files.Replace(kBlackList, text);
    for (int i = 0; i < 300; ++i)
      paths.push_back("C:\\Program Files\\Vendor " + std::to_string(i % 251) + "\\xxxx\\app.exe");
  }

  std::vector<std::string> paths;  // the running programs, as the list shows them
};

void BM_MemoryScan(benchmark::State& state) {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  testing_support::BenchFiles bench_files(state.range(0));
  platform::Files* files = &bench_files.Files();
  BenchHost host(*files, int(state.range(1)));
  for (auto _ : state) process::ScanMemory(host, host.paths);
  state.counters["comparisons"] = benchmark::Counter(300.0 * 251 * double(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_MemoryScan)->ArgNames({"real_files", "entry_length"})->ArgsProduct({{0, 1}, {1, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
