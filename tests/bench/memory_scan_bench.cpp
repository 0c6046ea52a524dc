// A memory scan of 300 running programs against a full black list (251
// command lines, none of them running), as "Scan now" makes it. The entry
// length is 1x (64 characters) or 10x; the goal is a 10x run within
// 1.3 times the 1x run, over files in memory and over real files.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/portable/portable.h"
#include "process/memory_scan.h"
#include "registry/data_files.h"
#include "tests/support/bench_files.h"
#include "toolkit/headless/headless_backend.h"

namespace {

constexpr const char* kBlackList = "C:\\Windows\\disallowed.vlt";

class BenchHost : public process::ProtectionHost {
 public:
  BenchHost(platform::Files& files, int length_factor) : files_(files), black_(files, kBlackList) {
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
      list_.AddItem("C:\\Program Files\\Vendor " + std::to_string(i % 251) + "\\xxxx\\app.exe");
  }

  platform::Processes& Processes() override { return processes_; }
  platform::Files& Files() override { return files_; }
  registry::IniStore& BlackList() override { return black_; }
  registry::IniStore& Trashcan() override { return black_; }
  registry::HandOffChannel& Channel() override { return channel_; }
  tk::ListBox& ProcessList() override { return list_; }
  tk::ProgressBar& ScanProgress() override { return bar_; }
  bool SilentRemoval() override { return false; }
  void ShowScanPage() override {}
  void RefreshLists() override {}
  void ShowBalloon(const std::string&) override {}

 private:
  platform::Files& files_;
  registry::IniStore black_;
  platform::portable::PortableProcesses processes_;
  tk::Form form_{"velmain", "Tvelmain"};
  tk::Label l_[7] = {{&form_, "a"}, {&form_, "b"}, {&form_, "c"}, {&form_, "d"},
                     {&form_, "e"}, {&form_, "f"}, {&form_, "g"}};
  tk::CheckBox c_[3] = {{&form_, "h"}, {&form_, "i"}, {&form_, "j"}};
  registry::HandOffChannel channel_{l_[0], l_[1], l_[2], l_[3], l_[4], l_[5], l_[6], c_[0], c_[1], c_[2]};
  tk::ListBox list_{&form_, "list_pamiec"};
  tk::ProgressBar bar_{&form_, "postep"};
};

void BM_MemoryScan(benchmark::State& state) {
  tk::headless::HeadlessBackend backend;
  tk::Application app(backend);
  testing_support::BenchFiles bench_files(state.range(0));
  platform::Files* files = &bench_files.Files();
  BenchHost host(*files, int(state.range(1)));
  for (auto _ : state) process::ScanMemory(host);
  state.counters["comparisons"] = benchmark::Counter(300.0 * 251 * double(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_MemoryScan)->ArgNames({"real_files", "entry_length"})->ArgsProduct({{0, 1}, {1, 10}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
