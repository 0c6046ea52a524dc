// The folder monitor on real host folders, seeing the changes the portable
// files make: what it reports, on which thread, for folders that come and
// go. Stopping is the registry monitor's, which shares its worker.
#include <gtest/gtest.h>

#include <thread>
#include "components/folder_monitor.h"
#include "tests/doubles/portable/portable.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using components::FolderMonitor;

constexpr const char* kStart = "C:\\Users\\Ala\\Start Menu";
constexpr const char* kStartup = "C:\\Users\\Ala\\Start Menu\\Startup";
constexpr const char* kCommon = "C:\\ProgramData\\Startup";

class FolderMonitorTest : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortableFiles files{scratch.path()};
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  FolderMonitor monitor{files};
  int reports = 0;
  std::thread::id handler_thread;

  void MakeFolders(std::initializer_list<const char*> paths) {
    for (const char* path : paths) ASSERT_TRUE(files.CreateFolder(path)) << path;
  }
  void Start(std::vector<std::string> folders) {
    monitor.SetFolders(std::move(folders));
    monitor.SetOnChange([this] {
      ++reports;
      handler_thread = std::this_thread::get_id();
    });
    monitor.StartMonitor();
  }
  void Write(const std::string& folder, const std::string& name) {
    ASSERT_TRUE(files.Replace(folder + "\\" + name, "[InternetShortcut]\r\n"));
  }
  // Waits (bounded) for the worker to hand a report over, and runs it.
  bool Reported() {
    if (!backend.WaitForSynchronize(5000)) return false;
    backend.RunUntilIdle();
    return true;
  }
  // A change the monitor must report, made after everything before it:
  // once it has been reported, anything earlier has been seen too.
  void Marker(const std::string& folder, int expected_reports) {
    Write(folder, "marker.lnk");
    ASSERT_TRUE(Reported());
    EXPECT_EQ(reports, expected_reports);
  }
};

TEST_F(FolderMonitorTest, ReportsChangesInEachFolderOnTheUserInterfaceThread) {
  MakeFolders({"C:\\Users", "C:\\Users\\Ala", kStart, kStartup, "C:\\ProgramData", kCommon});
  Start({kStartup, kCommon});
  EXPECT_TRUE(monitor.Watching());
  Write(kStartup, "agent.lnk");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(handler_thread, std::this_thread::get_id());
  MakeFolders({"C:\\ProgramData\\Startup\\Sub"});
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 2);

  // Beside the folders and below them is none of their business.
  Write(kStart, "Programs.lnk");
  Write("C:\\ProgramData\\Startup\\Sub", "deep.lnk");
  Marker(kStartup, 3);
}

TEST_F(FolderMonitorTest, AFolderMissingWithItsParentIsWatchedOnceItIsMade) {
  MakeFolders({"C:\\Users", "C:\\Users\\Ala"});
  Start({kStartup});
  MakeFolders({kStart});
  Write(kStart, "Programs.lnk");
  MakeFolders({kStartup});
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 1);
  Write(kStartup, "agent.lnk");
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 2);
}

TEST_F(FolderMonitorTest, AFolderDeletedAndMadeAgainIsStillWatched) {
  MakeFolders({"C:\\Users", "C:\\Users\\Ala", kStart, kStartup});
  Write(kStartup, "agent.lnk");
  Start({kStartup});
  ASSERT_TRUE(files.Delete(std::string(kStartup) + "\\agent.lnk"));
  ASSERT_TRUE(Reported());
  ASSERT_TRUE(files.RemoveFolder(kStartup));
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 2);
  MakeFolders({kStartup});
  ASSERT_TRUE(Reported());
  EXPECT_EQ(reports, 3);
  Marker(kStartup, 4);
}

}  // namespace
