// What a registry scan needs of the main window, for the scan benchmarks:
// a registry (the portable one, or the real one under Wine), a white list
// and a statistics file, controls that only hold state, and nothing else.
#pragma once
#include <string>

#include "registry/ini_store.h"
#include "registry/scan.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

template <class RegistryImpl>
class BenchScanHost : public registry::ScanHost {
 public:
  BenchScanHost(platform::Files& files, const std::string& list_path, const std::string& statistics_path)
      : white_(files, list_path), statistics_(files, statistics_path) {}

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
  RegistryImpl& Real() { return registry_; }

 private:
  RegistryImpl registry_;
  registry::IniStore white_;
  registry::IniStore statistics_;  // nothing is deleted, so never written
  // Never shown: the controls only hold state.
  tk::Form form_{"velmain", "Tvelmain"};
  tk::Label l_[7] = {{&form_, "a"}, {&form_, "b"}, {&form_, "c"}, {&form_, "d"},
                     {&form_, "e"}, {&form_, "f"}, {&form_, "g"}};
  tk::CheckBox c_[3] = {{&form_, "h"}, {&form_, "i"}, {&form_, "j"}};
  registry::HandOffChannel channel_{l_[0], l_[1], l_[2], l_[3], l_[4], l_[5], l_[6], c_[0], c_[1], c_[2]};
  tk::ProgressBar bar_{&form_, "postep"};
};

#ifdef _WIN32
// Seconds between two performance-counter readings.
inline double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}
#endif
