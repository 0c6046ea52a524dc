// The engines' context for the benchmarks: a registry (the portable one, or
// the real one under Wine), the data files in a folder of the benchmark's,
// the application's pump, and an answer for every alert; nothing is told
// and the watch never runs.
#pragma once
#include <algorithm>
#include <atomic>
#include <functional>
#include <string>

#include <type_traits>
#include <vector>

#include "registry/context.h"
#include "tests/doubles/portable/portable_program_files.h"
#include "tests/doubles/portable/portable_tasks.h"
#include "registry/data_files.h"
#include "toolkit/application.h"

// A backend made from what it needs of the others, or from nothing.
template <class T, class... From>
T MakeBackend(From&... from) {
  if constexpr (std::is_constructible_v<T, From&...>)
    return T(from...);
  else
    return T();
}

template <class RegistryImpl, class ShellImpl, class ProcessesImpl, class SystemImpl, class NetworkImpl,
          class TasksImpl = platform::portable::PortableTasks,
          class ServicesImpl = platform::portable::PortableServices,
          class ProgramFilesImpl = platform::portable::PortableProgramFiles>
class BenchScanHost : public registry::Context, public registry::Watch {
 public:
  BenchScanHost(platform::Files& files, const std::string& data_folder)
      : tasks_(MakeBackend<TasksImpl>(files)),
        services_(MakeBackend<ServicesImpl>(registry_)),
        program_files_(MakeBackend<ProgramFilesImpl>(files)),
        platform_{registry_, processes_, files, shell_, system_, network_, event_log_, tasks_, services_, program_files_},
        data_(files, data_folder, "bench") {}

  platform::Platform Platform() override { return platform_; }
  registry::DataFiles& Data() override { return data_; }
  const registry::Settings& Settings() override { return settings; }
  registry::Watch& Watch() override { return *this; }
  void Pump() override { tk::App().ProcessMessages(); }
  bool Ending() override { return false; }
  tk::ModalResult Tell(tk::MsgKind, const std::string&, tk::MsgButtons) override { return tk::ModalResult::Ok; }
  void Log(events::Event, const std::vector<std::string>&) override {}
  void Refused(const std::string&, registry::Refusal) override {}
  void ShowScanPage() override {}
  void Progress(int, int) override {}
  void ShowBalloon() override {}
  void ShowBalloon(const std::string&) override {}
  registry::Decision Ask(const registry::Question& question) override {
    ++alerts;
    return answer ? answer(question) : registry::Decision{};
  }
  registry::Decision Ask(const std::string&, bool) override { return {}; }
  void RefreshLists() override {}
  void RefreshProcessList() override {}
  void BlockProgram(const std::string&) override {}
  bool MoveToTrashcan(const std::string&) override { return false; }
  void Notice(const std::string&) override {}
  // Found at once: the benchmarks measure the scans, not the facts.
  std::shared_ptr<registry::FactsRequest> FindFacts(const std::string&) override {
    auto request = std::make_shared<registry::FactsRequest>();
    request->found = true;
    return request;
  }
  uint32_t OnScheduler(std::function<uint32_t()> call) override { return call(); }
  void Start() override {}
  void Stop() override {}
  bool Watching() const override { return false; }
  bool Live() const override { return false; }
  RegistryImpl& Real() { return registry_; }
  TasksImpl& Tasks() { return tasks_; }

  std::function<registry::Decision(const registry::Question&)> answer;
  int alerts = 0;
  registry::Settings settings;

 private:
  class NoLog : public platform::EventLog {
   public:
    bool Report(platform::EventLevel, uint32_t, const std::vector<std::string>&) override { return true; }
  };
  RegistryImpl registry_;
  ShellImpl shell_;
  ProcessesImpl processes_;
  SystemImpl system_;
  NetworkImpl network_;
  NoLog event_log_;
  TasksImpl tasks_;
  ServicesImpl services_;
  ProgramFilesImpl program_files_;
  const platform::Platform platform_;
  registry::DataFiles data_;  // nothing is deleted, so the statistics are never written
};

#ifdef _WIN32
// Seconds between two performance-counter readings.
inline double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}
// The performance counter in seconds, for differences within one run.
inline double Now() {
  LARGE_INTEGER now, zero{};
  QueryPerformanceCounter(&now);
  return Seconds(zero, now);
}

// The median time from a write (write(n), n = 0..writes-1) to the alert it
// raises, with the live watch's reports counted in `reports` and the quiet
// scan run once they have settled for settle_ms, as the program does; each
// write waits at most 5 s.
template <class Host, class Write, class QuietScan>
double MedianToAlert(Host& host, const std::atomic<int>& reports, int writes, unsigned settle_ms, Write write,
                     QuietScan quiet_scan) {
  std::vector<double> delays;
  for (int w = 0; w < writes; ++w) {
    const int alerts = host.alerts;
    int seen = reports;
    const double start = Now();
    write(w);
    double last = 0;
    while (host.alerts == alerts && Now() - start < 5) {
      host.Pump();
      if (reports != seen) seen = reports, last = Now();
      if (last && Now() - last >= settle_ms / 1000.0) {
        quiet_scan();
        last = 0;
      }
      Sleep(1);
    }
    delays.push_back(Now() - start);
  }
  std::sort(delays.begin(), delays.end());
  return delays[delays.size() / 2];
}
#endif
