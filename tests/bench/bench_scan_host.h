// What a registry scan needs of the main window, for the scan benchmarks:
// a registry (the portable one, or the real one under Wine), a white list
// and a statistics file, the application's pump, and an answer for every
// alert.
#pragma once
#include <functional>
#include <string>

#include "registry/ini_store.h"
#include "registry/scan.h"
#include "toolkit/application.h"

template <class RegistryImpl, class ShellImpl, class ProcessesImpl>
class BenchScanHost : public registry::ScanHost {
 public:
  BenchScanHost(platform::Files& files, const std::string& list_path, const std::string& statistics_path)
      : files_(files), white_(files, list_path), statistics_(files, statistics_path) {}

  platform::Registry& Registry() override { return registry_; }
  platform::Files& Files() override { return files_; }
  platform::Shell& Shell() override { return shell_; }
  platform::Processes& Processes() override { return processes_; }
  bool MoveToTrashcan(const std::string&) override { return false; }
  registry::IniStore& WhiteList() override { return white_; }
  registry::IniStore& Statistics() override { return statistics_; }
  void Progress(int, int) override {}
  void Log(events::Event, const std::vector<std::string>&) override {}
  void ShowScanPage() override {}
  void StopMonitor() override {}
  void StartMonitor() override {}
  bool LiveRegistryTest() override { return false; }
  void SetBalloonText(const std::string&) override {}
  void ShowBalloon() override {}
  void Refused(const std::string&, registry::Refusal) override {}
  void BlockProgram(const std::string&) override {}
  std::string OwnPath() override { return "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe"; }
  registry::Decision Ask(const registry::Question& question) override {
    ++alerts;
    return answer ? answer(question) : registry::Decision{};
  }
  void Pump() override { tk::App().ProcessMessages(); }
  bool Ending() override { return false; }
  tk::ModalResult Tell(tk::MsgKind, const std::string&, tk::MsgButtons) override { return tk::ModalResult::Ok; }
  RegistryImpl& Real() { return registry_; }

  std::function<registry::Decision(const registry::Question&)> answer;
  int alerts = 0;

 private:
  RegistryImpl registry_;
  platform::Files& files_;
  ShellImpl shell_;
  ProcessesImpl processes_;
  registry::IniStore white_;
  registry::IniStore statistics_;  // nothing is deleted, so never written
};

#ifdef _WIN32
// Seconds between two performance-counter readings.
inline double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}
#endif
