// The tray balloons of the memory scan and of stopping, in the order shown.
#include <gmock/gmock.h>

#include "platform/portable/portable.h"
#include "process/memory_scan.h"
#include "registry/data_files.h"
#include "toolkit/headless/headless_backend.h"

namespace process {
namespace {

using ::testing::ElementsAre;

class Host : public ProtectionHost {
 public:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortablePlatform sys{scratch.path()};
  registry::IniStore black{sys.files, "C:\\disallowed.vlt"}, trash{sys.files, "C:\\trashcan.vlt"};
  tk::Form form{"velmain", "Tvelmain"};
  tk::Label l1{&form, "a"}, l2{&form, "b"}, l3{&form, "c"}, l4{&form, "d"}, l5{&form, "e"}, l6{&form, "f"},
      l7{&form, "g"};
  tk::CheckBox c1{&form, "h"}, c2{&form, "i"}, c3{&form, "j"};
  registry::HandOffChannel channel{l1, l2, l3, l4, l5, l6, l7, c1, c2, c3};
  tk::ListBox list{&form, "list_pamiec"};
  tk::ProgressBar bar{&form, "postep"};
  std::vector<std::string> balloons;
  int refreshes = 0;

  platform::Processes& Processes() override { return sys.processes; }
  platform::Files& Files() override { return sys.files; }
  registry::IniStore& BlackList() override { return black; }
  registry::IniStore& Trashcan() override { return trash; }
  registry::HandOffChannel& Channel() override { return channel; }
  tk::ListBox& ProcessList() override { return list; }
  tk::ProgressBar& ScanProgress() override { return bar; }
  bool SilentRemoval() override { return true; }
  void ShowScanPage() override {}
  void RefreshLists() override { ++refreshes; }
  void ShowBalloon(const std::string& text) override { balloons.push_back(text); }
};

TEST(ProcessBalloons, SilentScanNamesWhatItRemovesAndWhatItStopped) {
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  Host host;
  host.sys.processes.Add(7, "C:\\Apps\\agent.exe");
  host.sys.processes.Add(8, "C:\\Apps\\agent.exe");
  registry::WriteSlot(host.black, 9, {{"sciezka", "C:\\APPS\\agent.exe"}});
  host.list.AddItem("C:\\Apps\\agent.exe");
  host.list.AddItem("C:\\Apps\\agent.exe");
  ScanMemory(host);
  EXPECT_THAT(host.balloons,
              ElementsAre("Removing forbidden process: C:\\Apps\\agent.exe", "Stopped disallowed process: agent.exe",
                          "Stopped disallowed process: agent.exe", "Removing forbidden process: C:\\Apps\\agent.exe",
                          "Memory scanning done."));
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_EQ(host.bar.Max(), 1);
  EXPECT_TRUE(backend.Boxes().empty());
}

}  // namespace
}  // namespace process
