// RefreshLists over four full list files: the white list with all 501 slots
// in use, the black list, the trashcan list and the statistics with 251
// each. BM_ParseFourFiles is the cost of reading the four files once (a
// fresh store per file: stat, read, parse); the goal is one RefreshLists
// within 3 times that, over files in memory. The same over real files is
// printed for information.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/velmainfrm.h"
#include "tests/doubles/portable/portable.h"
#include "registry/data_files.h"
#include "tests/support/bench_files.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"
#include "tests/support/data_paths.h"

namespace {

struct ListFile {
  const char* path;
  const char* key;
  int last_slot;
};

const ListFile kFiles[] = {
    {testing_support::kWhiteListPath, "wartosc", registry::white_list::kLastSlot},
    {testing_support::kBlackListPath, "sciezka", registry::kLastSlot},
    {testing_support::kTrashcanListPath, "sciezka", registry::kLastSlot},
    {testing_support::kStatisticsPath, "wartosc", registry::kLastSlot},
};

std::string FullFile(const ListFile& f) {
  std::string text;
  for (int n = 0; n <= f.last_slot; ++n) {
    const std::string slot = std::to_string(n);
    text += "[" + slot + "]\r\n";
    if (f.path == testing_support::kWhiteListPath)
      text += "numer=" + slot + "\r\nnazwa=Startup entry " + slot + "\r\nsekcja=HKLM_run\r\n";
    text += std::string(f.key) + "=\"C:\\Program Files\\Vendor " + slot + "\\program.exe\" /background\r\n";
  }
  return text;
}

// The four files on files in memory or on real files under a scratch folder.
struct Machine {
  explicit Machine(bool real_files) : bench_files(real_files), files(&bench_files.Files()) {
    for (const ListFile& f : kFiles) files->Replace(f.path, FullFile(f));
  }
  testing_support::BenchFiles bench_files;
  platform::Files* files;
};

// Processor time per iteration of each run, for the ratios printed at the end.
struct Ratios {
  std::map<std::pair<std::string, int>, double> seconds;
  ~Ratios() {
    for (int real : {0, 1}) {
      auto parse = seconds.find({"parse", real}), refresh = seconds.find({"refresh", real});
      if (parse == seconds.end() || refresh == seconds.end() || parse->second <= 0) continue;
      std::printf("ratio BM_RefreshLists / BM_ParseFourFiles, %s: %.2f (goal <= 3)\n",
                  real ? "real files" : "files in memory", refresh->second / parse->second);
    }
  }
} ratios;

void BM_ParseFourFiles(benchmark::State& state) {
  Machine machine(state.range(0));
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    for (const ListFile& f : kFiles) {
      registry::IniStore store(*machine.files, f.path);
      benchmark::DoNotOptimize(store.ReadString("0", f.key, "err"));
    }
  }
  ratios.seconds[{"parse", int(state.range(0))}] = double(std::clock() - start) / CLOCKS_PER_SEC / double(state.iterations());
}

void BM_RefreshLists(benchmark::State& state) {
  Machine machine(state.range(0));
  tk::headless::HeadlessBackend backend;
  tk::Application application(backend);
  platform::portable::ScratchFolder c_drive;
  platform::portable::PortablePlatform sys(c_drive.path());
  machine.files->Replace(registry::ConfigPath("C:\\Windows", "tester"), "[glowna]\r\nskonfigurowany=1\r\n");
  sys.system.SetUserName(std::string("tester"));
  app::Tvelmain velmain(platform::Platform{sys.registry, sys.processes, *machine.files, sys.shell, sys.system, sys.network,
                                           sys.event_log, sys.tasks, sys.services,
                                           sys.program_files});
  application.SetMainForm(&velmain);
  velmain.Show();
  backend.RunUntilIdle();  // the start-up, whose refresh warms the stores' parsed copies
  const std::clock_t start = std::clock();
  for (auto _ : state) velmain.RefreshLists();
  ratios.seconds[{"refresh", int(state.range(0))}] = double(std::clock() - start) / CLOCKS_PER_SEC / double(state.iterations());
  auto count = [&velmain](const char* list) { return static_cast<tk::ListBox*>(velmain.FindChild(list))->Count(); };
  if (count("list_pozwolonych") != 501 || count("list_rejestr") != 251)
    state.SkipWithError("lists not filled");
}

BENCHMARK(BM_ParseFourFiles)->ArgName("real_files")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshLists)->ArgName("real_files")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
