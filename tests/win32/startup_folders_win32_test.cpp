// The Startup folders, the shortcuts in them, and listing and watching a
// folder, against Wine's shell and file system.
#include <windows.h>
// After <windows.h>, which they need.
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "components/folder_monitor.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_platform.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace platform::win32 {
namespace {

namespace fs = std::filesystem;
using ::testing::UnorderedElementsAre;

// Only keeps a broken notification from hanging the whole run.
constexpr int kHangGuardMs = 30000;

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return s;
}

// What the older folder call says, for the same folder.
std::string OldStylePath(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
  return Utf8(path);
}

TEST(PlatformWin32Shell, BothStartupFoldersComeFromTheSystem) {
  Win32Shell shell;
  const auto mine = shell.StartupFolderPath(StartupFolder::CurrentUser);
  const auto everyone = shell.StartupFolderPath(StartupFolder::AllUsers);
  ASSERT_TRUE(mine && everyone);
  EXPECT_EQ(Lower(*mine), Lower(OldStylePath(CSIDL_STARTUP)));
  EXPECT_EQ(Lower(*everyone), Lower(OldStylePath(CSIDL_COMMON_STARTUP)));
}

class PlatformWin32Shortcuts : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("veltrane-startup-" + std::to_string(GetCurrentProcessId()));
  Win32Shell shell;
  Win32Files files;

  void SetUp() override { fs::create_directories(dir / "Some App"); }
  void TearDown() override {
    for (const auto& e : fs::recursive_directory_iterator(dir))
      SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir);
  }
  std::string In(const std::string& name) { return Utf8(dir.wstring()) + "\\" + name; }

  // A shortcut made the way Explorer makes one.
  void MakeShortcut(const std::string& at, const wchar_t* target, const wchar_t* arguments) {
    ComScope com;
    Com<IShellLinkW> link;
    Com<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(link.out()))));
    ASSERT_TRUE(SUCCEEDED(link->SetPath(target)));
    ASSERT_TRUE(SUCCEEDED(link->SetArguments(arguments)));
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out()))));
    ASSERT_TRUE(SUCCEEDED(file->Save(WideExact(at)->c_str(), TRUE)));
  }
};

TEST_F(PlatformWin32Shortcuts, AShortcutReadsBackAsItsTargetAndArguments) {
  const std::string agent = In("Some App\\agent.exe");
  std::ofstream(fs::path(*WideExact(agent))) << "MZ";
  MakeShortcut(In("Agent.lnk"), WideExact(agent)->c_str(), L"/tray --name \"a b\"");
  auto read = shell.ReadShortcut(In("Agent.lnk"));
  ASSERT_TRUE(read);
  EXPECT_EQ(Lower(read->target), Lower(agent));
  EXPECT_EQ(read->arguments, "/tray --name \"a b\"");

  std::ofstream(dir / "notes.lnk") << "not a shortcut at all";
  EXPECT_EQ(shell.ReadShortcut(In("notes.lnk")), std::nullopt);
  EXPECT_EQ(shell.ReadShortcut(In("missing.lnk")), std::nullopt);
}

TEST_F(PlatformWin32Shortcuts, ListsTheFilesOfAFolderHiddenOnesTooButNoFolders) {
  std::ofstream(dir / "agent.lnk") << "x";
  std::ofstream(fs::path(*WideExact(In("zażółć.lnk")))) << "x";
  std::ofstream(dir / "desktop.ini") << "x";
  SetFileAttributesW((dir / "desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  FolderList list = files.ListFiles(Utf8(dir.wstring()));
  EXPECT_EQ(list.status, ListStatus::Listed);
  EXPECT_THAT(list.names, UnorderedElementsAre("agent.lnk", "zażółć.lnk", "desktop.ini"));
  EXPECT_EQ(files.ListFiles(In("Gone")).status, ListStatus::Missing);
  EXPECT_EQ(files.ListFiles(In("agent.lnk")).status, ListStatus::Missing) << "a file is no folder";
}

TEST_F(PlatformWin32Shortcuts, AWatchedFolderWakesOnANewFileAndOnCancel) {
  EXPECT_EQ(files.WatchFolder(In("Gone")), nullptr);
  auto watch = files.WatchFolder(Utf8(dir.wstring()));
  ASSERT_TRUE(watch);
  std::thread writer([&] { std::ofstream(dir / "new.lnk") << "x"; });
  EXPECT_EQ(watch->Wait(kHangGuardMs), WaitResult::Changed);
  writer.join();
  // Re-armed: the next change is seen too.
  while (watch->Wait(0) == WaitResult::Changed) {}  // what is left of the writer's changes
  fs::remove(dir / "new.lnk");
  EXPECT_EQ(watch->Wait(kHangGuardMs), WaitResult::Changed);

  // One waiter waits on folders and registry keys alike.
  Win32Registry registry;
  auto key_watch = registry.Watch(RootKey::CurrentUser, "Software", false, kChangeLastSet);
  ASSERT_TRUE(key_watch);
  auto waiter = files.NewWaiter();
  ASSERT_TRUE(waiter);
  std::ofstream(dir / "other.lnk") << "x";
  EXPECT_EQ(waiter->WaitAny({key_watch.get(), watch.get()}), 1);

  auto quiet = files.WatchFolder(In("Some App"));
  ASSERT_TRUE(quiet);
  std::thread canceller([&] { quiet->Cancel(); });
  EXPECT_EQ(quiet->Wait(kHangGuardMs), WaitResult::Cancelled);
  canceller.join();
}

// The monitor on the real file system: it follows a folder that is made,
// whatever bursts of changes the system reports. (Wine keeps a watched
// folder until its watch lets go, so a deletion cannot be seen here.)
TEST_F(PlatformWin32Shortcuts, TheFolderMonitorFollowsAFolderMadeWhileItWatches) {
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  const std::string startup = In("Startup");
  FolderList seen;
  components::FolderMonitor monitor(files);
  monitor.SetFolders({startup});
  monitor.SetOnChange([&] { seen = files.ListFiles(startup); });
  monitor.StartMonitor();
  // Reports until one sees the folder holding these files.
  auto reported = [&](std::vector<std::string> names) {
    while (backend.WaitForSynchronize(kHangGuardMs)) {
      backend.RunUntilIdle();
      if (seen.status == ListStatus::Listed && seen.names == names) return true;
    }
    return false;
  };
  ASSERT_TRUE(CreateDirectoryW(WideExact(startup)->c_str(), nullptr));
  EXPECT_TRUE(reported({}));
  std::ofstream(dir / "Startup" / "a.lnk") << "x";
  EXPECT_TRUE(reported({"a.lnk"}));
}

// A thread waits on at most 64 objects: a tree of many folders, as the
// Tasks folder is, is watched all the same, to its last folder.
TEST_F(PlatformWin32Shortcuts, TheFolderMonitorWatchesMoreFoldersThanOneThreadCanWaitOn) {
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  std::vector<std::string> folders;
  for (int n = 0; n < 70; ++n) {
    fs::create_directories(dir / ("F" + std::to_string(n)));
    folders.push_back(In("F" + std::to_string(n)));
  }
  int reports = 0;
  components::FolderMonitor monitor(files);
  monitor.SetFolders(folders);
  monitor.SetOnChange([&] { ++reports; });
  monitor.StartMonitor();
  ASSERT_TRUE(monitor.Watching());
  std::ofstream(dir / "F69" / "task") << "x";
  ASSERT_TRUE(backend.WaitForSynchronize(kHangGuardMs));
  backend.RunUntilIdle();
  EXPECT_GE(reports, 1);
  EXPECT_TRUE(monitor.Watching());
}

}  // namespace
}  // namespace platform::win32
