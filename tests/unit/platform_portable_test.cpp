#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "tests/doubles/portable/portable.h"

namespace platform::portable {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteHost(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

class PlatformPortableFiles : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  fs::path c = scratch.path() / "c";
  PortableFiles files{c};

  void SetUp() override { fs::create_directories(c / "Windows"); }
  bool Copy(const std::string& from, const std::string& to) {
    std::unique_ptr<HeldFile> held = files.Hold(from);
    return held && held->CopyToNew(to);
  }
};

TEST_F(PlatformPortableFiles, ALockFileIsMadeOnlyWhereFilesMayBe) {
  const std::string lock = "C:\\Windows\\veltrane.lck";
  ASSERT_TRUE(files.Lock(lock, 0));
  EXPECT_TRUE(fs::exists(c / "Windows" / "veltrane.lck"));
  // No lock file can be made in a read-only folder; one that is there serves.
  files.SetReadOnly("C:\\Windows");
  EXPECT_TRUE(files.Lock(lock, 0));
  EXPECT_FALSE(files.Lock("C:\\Windows\\other.lck", 0));
  EXPECT_FALSE(fs::exists(c / "Windows" / "other.lck"));
  EXPECT_FALSE(files.Lock("veltrane.lck", 0));
}

TEST_F(PlatformPortableFiles, MapsWindowsPathsUnderTheDriveFolder) {
  files.MapDrive('d', scratch.path() / "d");
  const std::pair<const char*, fs::path> cases[] = {
      {"C:\\Windows\\list.vlt", c / "Windows" / "list.vlt"},
      {"c:/windows/List.vlt", c / "Windows" / "List.vlt"},
      {"C:\\", c},
      {"C:\\a\\.\\..\\b", c / "b"},
      {"C:\\..\\..\\etc\\passwd", c / "etc" / "passwd"},
      {"C:\\dir.\\name. ", c / "dir" / "name"},
      {"D:\\x", scratch.path() / "d" / "x"},
  };
  for (const auto& [win, host] : cases) {
    SCOPED_TRACE(win);
    EXPECT_THAT(files.HostPath(win), Optional(host));
  }
  for (const char* refused : {"", "x", "C:", "C:rel", "E:\\x", "\\\\server\\share\\x",
                              "C:\\a<b", "C:\\a|b", "C:\\a\\b:stream", "C:\\a\x01"}) {
    SCOPED_TRACE(refused);
    EXPECT_FALSE(files.HostPath(refused));
    EXPECT_FALSE(files.Replace(refused, "x"));
  }
  EXPECT_FALSE(files.HostPath(std::string("C:\\Windows\\a\0b", 15)));
}

TEST_F(PlatformPortableFiles, FindsExistingEntriesInAnyCase) {
  WriteHost(c / "Windows" / "List.VLT", "data");
  EXPECT_TRUE(files.Exists("C:\\WINDOWS\\list.vlt"));
  EXPECT_THAT(files.ReadAll("c:\\windows\\LIST.vlt"), Optional(std::string("data")));
  ASSERT_TRUE(files.Replace("c:\\windows\\list.vlt", "new"));
  EXPECT_THAT(Entries(c / "Windows"), ElementsAre("List.VLT"));  // rewritten, not a twin
  EXPECT_THAT(files.ReadAll("C:\\Windows\\List.VLT"), Optional(std::string("new")));
}

TEST_F(PlatformPortableFiles, AReplaceThatCannotFinishLeavesTheOldFile) {
  const std::string path = "C:\\Windows\\list.vlt";
  ASSERT_TRUE(files.Replace(path, "second"));
  files.SetRenameFails(true);
  EXPECT_FALSE(files.Replace(path, "third"));
  EXPECT_THAT(files.ReadAll(path), Optional(std::string("second")));
  EXPECT_THAT(Entries(c / "Windows"), ElementsAre("list.vlt"));
  EXPECT_FALSE(files.Replace("C:\\NoSuchFolder\\list.vlt", "x"));
  EXPECT_FALSE(fs::exists(c / "NoSuchFolder"));
}

TEST_F(PlatformPortableFiles, ReadOnlyFilesAndFoldersRefuseChanges) {
  WriteHost(c / "Windows" / "locked.txt", "keep");
  WriteHost(c / "Sealed" / "inner.txt", "keep");
  files.SetReadOnly("C:\\windows\\LOCKED.txt");
  files.SetReadOnly("C:\\Sealed");
  EXPECT_FALSE(files.Replace("C:\\Windows\\locked.txt", "x"));
  EXPECT_FALSE(files.Delete("C:\\Windows\\locked.txt"));
  EXPECT_EQ(files.Move("C:\\Windows\\locked.txt", "C:\\Windows\\moved.txt"), MoveStatus::Failed);
  EXPECT_FALSE(files.Hold("C:\\Windows\\locked.txt")->Delete());
  EXPECT_FALSE(files.Replace("C:\\Sealed\\inner.txt", "x"));
  EXPECT_FALSE(files.Replace("C:\\Sealed\\new.txt", "x"));
  EXPECT_FALSE(Copy("C:\\Windows\\locked.txt", "C:\\Sealed\\copy.txt"));
  EXPECT_THAT(Entries(c / "Sealed"), ElementsAre("inner.txt"));
  EXPECT_THAT(files.ReadAll("C:\\Windows\\locked.txt"), Optional(std::string("keep")));
  // Reading is still allowed, and so is writing next to the locked file.
  EXPECT_TRUE(Copy("C:\\Windows\\locked.txt", "C:\\Windows\\copy.txt"));
  files.SetReadOnly("C:\\Sealed", false);
  EXPECT_TRUE(files.Replace("C:\\Sealed\\inner.txt", "changed"));
}

TEST_F(PlatformPortableFiles, StatSeesEveryRewrite) {
  const std::string path = "C:\\Windows\\list.vlt";
  EXPECT_FALSE(files.Stat(path).exists);
  ASSERT_TRUE(files.Replace(path, "aaaa"));
  FileStamp first = files.Stat(path);
  EXPECT_TRUE(first.exists);
  EXPECT_EQ(first.size, 4u);
  // Same size, written at once: a coarse clock must not hide the change.
  ASSERT_TRUE(files.Replace(path, "bbbb"));
  FileStamp second = files.Stat(path);
  EXPECT_EQ(second.size, 4u);
  EXPECT_NE(second, first);
  EXPECT_EQ(files.Stat(path), second);
}

TEST(PlatformPortableProcesses, ScriptedTable) {
  PortableProcesses procs;
  procs.Add(0, "");
  procs.Add(4, "C:\\Windows\\System32\\svchost.exe");
  procs.Add(8, "C:\\Program Files\\App\\app.exe");
  procs.Add(12, "C:/tools/other.exe");
  procs.SetTerminateFails(4);
  procs.SetImagePathHidden(12);

  EXPECT_THAT(procs.EnumerateIds(100), ElementsAre(0, 4, 8, 12));
  EXPECT_THAT(procs.EnumerateIds(2), ElementsAre(0, 4));
  EXPECT_THAT(procs.EnumerateIds(0), IsEmpty());
  EXPECT_THAT(procs.ImagePath(8), Optional(std::string("C:\\Program Files\\App\\app.exe")));
  EXPECT_FALSE(procs.ImagePath(0));
  EXPECT_FALSE(procs.ImagePath(12));
  EXPECT_FALSE(procs.ImagePath(99));
  auto snap = procs.Snapshot();
  ASSERT_EQ(snap.size(), 4u);
  EXPECT_EQ(snap[1].exe_name, "svchost.exe");
  EXPECT_EQ(snap[3].exe_name, "other.exe");

  auto any = [](const std::string&) { return true; };
  EXPECT_EQ(procs.Stop(4, any).status, platform::StopStatus::Failed);
  EXPECT_TRUE(procs.Running(4));
  EXPECT_EQ(procs.Stop(12, any).status, platform::StopStatus::Failed);  // cannot be looked at
  platform::StopResult stopped = procs.Stop(8, any);
  ASSERT_EQ(stopped.status, platform::StopStatus::Stopped);
  EXPECT_EQ(stopped.stopped->WaitForEnd(), platform::StoppedProcess::State::Ended);
  EXPECT_EQ(procs.Stop(8, any).status, platform::StopStatus::NotIt);
  EXPECT_FALSE(procs.Running(8));
  EXPECT_THAT(procs.Terminated(), ElementsAre(8));
  EXPECT_THAT(procs.EnumerateIds(100), ElementsAre(0, 4, 12));
  EXPECT_EQ(procs.WindowsFolder(), "C:\\Windows");
}

TEST(PlatformPortableProcesses, StopLooksOnceAndStopsWhatItLookedAt) {
  PortableProcesses procs;
  procs.Add(8, "C:\\Apps\\app.exe");
  procs.Add(9, "C:\\Windows\\System32\\csrss.exe");
  procs.SetCritical(9);
  procs.Add(10, "C:\\Apps\\slow.exe");
  procs.SetSlowToEnd(10, 2);
  procs.Add(11, "C:\\Apps\\stuck.exe");
  procs.SetSlowToEnd(11, 1, false);
  std::vector<std::string> seen;
  auto app_only = [&](const std::string& path) {
    seen.push_back(path);
    return path == "C:\\Apps\\app.exe";
  };
  // Another program got the id just before the stop: looked at, left alone.
  procs.ReuseIdOnStop(8, "C:\\Other\\innocent.exe");
  EXPECT_EQ(procs.Stop(8, app_only).status, platform::StopStatus::NotIt);
  EXPECT_THAT(seen, ElementsAre("C:\\Other\\innocent.exe"));
  EXPECT_TRUE(procs.Running(8));
  auto any = [](const std::string&) { return true; };
  EXPECT_EQ(procs.Stop(9, any).status, platform::StopStatus::Critical);
  EXPECT_TRUE(procs.IsCritical(9));
  EXPECT_TRUE(procs.Running(9));

  using State = platform::StoppedProcess::State;
  auto slow = procs.Stop(10, any);
  ASSERT_TRUE(slow.stopped);
  EXPECT_EQ(slow.stopped->WaitForEnd(), State::Pending);
  EXPECT_TRUE(procs.Running(10));
  EXPECT_EQ(slow.stopped->WaitForEnd(), State::Pending);
  EXPECT_EQ(slow.stopped->WaitForEnd(), State::Ended);
  EXPECT_FALSE(procs.Running(10));
  auto stuck = procs.Stop(11, any);
  ASSERT_TRUE(stuck.stopped);
  EXPECT_EQ(stuck.stopped->WaitForEnd(), State::Pending);
  EXPECT_EQ(stuck.stopped->WaitForEnd(), State::GaveUp);
  EXPECT_TRUE(procs.Running(11));
  EXPECT_THAT(procs.Terminated(), ElementsAre(10, 11));
}

TEST(PlatformPortableSystem, NamedMutexesMeetAcrossInstances) {
  PortableSystem first, second;
  auto held = first.CreateNamedMutex("VeltraneTestOnce");
  ASSERT_TRUE(held);
  EXPECT_FALSE(held->AlreadyExisted());
  EXPECT_TRUE(second.CreateNamedMutex("VeltraneTestOnce")->AlreadyExisted());
  EXPECT_TRUE(second.CreateNamedMutex("Local\\VeltraneTestOnce")->AlreadyExisted());
  EXPECT_FALSE(second.CreateNamedMutex("Global\\VeltraneTestOnce")->AlreadyExisted());
  EXPECT_FALSE(second.CreateNamedMutex("veltranetestonce")->AlreadyExisted());
  EXPECT_FALSE(second.CreateNamedMutex("")->AlreadyExisted());
  EXPECT_FALSE(second.CreateNamedMutex("Bad\\Name"));
  held.reset();
  EXPECT_FALSE(second.CreateNamedMutex("VeltraneTestOnce")->AlreadyExisted());
}

TEST(PlatformPortableSystem, FindsWindowsAndBringsThemForward) {
  PortableSystem sys;
  sys.AddWindow("Other", "Something");
  size_t main = sys.AddWindow("VeltraneMain", "Veltrane", true);
  EXPECT_THAT(sys.FindWindows("Missing", ""), IsEmpty());
  EXPECT_THAT(sys.FindWindows("", ""), ElementsAre(1u, 2u));
  std::vector<uintptr_t> found = sys.FindWindows("veltranemain", "VELTRANE");
  ASSERT_THAT(found, ElementsAre(main + 1));
  EXPECT_FALSE(sys.BringWindowForward(0));
  EXPECT_FALSE(sys.BringWindowForward(3));
  EXPECT_FALSE(sys.Foreground());
  EXPECT_TRUE(sys.BringWindowForward(found[0], "Veltrane.Activate"));
  EXPECT_EQ(sys.Foreground(), main);
  EXPECT_FALSE(sys.GetWindow(main).iconic);
  EXPECT_THAT(sys.GetWindow(main).messages, ElementsAre("Veltrane.Activate"));
}

TEST(PlatformPortableShell, RecordsWhatItStartsByFullPathsOnly) {
  PortableShell shell;
  EXPECT_TRUE(shell.Start("C:\\Windows\\explorer.exe", "/select,C:\\a.zip", "C:\\"));
  EXPECT_FALSE(shell.Start("explorer.exe", "", "C:\\"));
  EXPECT_FALSE(shell.Start("C:\\Windows\\explorer.exe", "", "Windows"));
  EXPECT_FALSE(shell.Start("", "", ""));
  shell.SetFails(true);
  EXPECT_FALSE(shell.Start("C:\\Windows\\notepad.exe", "", "C:\\"));
  EXPECT_THAT(shell.StartedPrograms(),
              ElementsAre(PortableShell::Started{"C:\\Windows\\explorer.exe", "/select,C:\\a.zip", "C:\\"}));
}

}  // namespace
}  // namespace platform::portable
