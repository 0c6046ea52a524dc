// Which black-list entries name which program, and where the trashcan keeps it.
#include <gtest/gtest.h>

#include "process/names.h"
#include "process/trashcan.h"

namespace process {
namespace {

TEST(ProcessNames, FileNameIsAfterTheLastBackslashOrColon) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Apps\\agent.exe", "agent.exe"}, {"C:agent.exe", "agent.exe"}, {"agent.exe", "agent.exe"},
      {"C:\\Apps\\", ""}, {"C:/Apps/agent.exe", "/Apps/agent.exe"}, {"", ""}};
  for (auto [path, name] : cases) EXPECT_EQ(FileNameOf(path), name) << path;
}

TEST(ProcessNames, EntryNamesTheExecutablePartOfACommandLine) {
  constexpr const char* kPath = "C:\\Tools\\agent.exe";
  struct Case {
    const char* entry;
    const char* path;
    bool names;
  } cases[] = {
      {"C:\\Tools\\agent.exe", kPath, true},
      {"c:\\TOOLS\\Agent.EXE", kPath, true},
      {"\"C:\\Tools\\agent.exe\" /background", kPath, true},
      {"\"C:\\Tools\\agent.exe\"", kPath, true},
      {"\"C:\\Tools\\agent.exe", kPath, true},  // unclosed quote: the rest
      {"C:\\Tools\\agent.exe /background", kPath, true},
      {"C:\\Tools\\agent.EXE -x \"y.exe\"", kPath, true},
      {"C:\\Tools\\agent.exe.bak", kPath, false},  // another file
      {"C:\\Tools\\agent.exe\t/x", kPath, true},
      {"C:\\Tools\\agent.exe\"x", kPath, true},
      {"\"C:\\Tools\\agent.exe /background\"x", kPath, false},
      {"\"C:\\Tools\\agent.exe\"/x", kPath, true},
      {"C:\\Tools\\agent.ex", kPath, false},
      {"C:\\Tools\\agent.exeX", kPath, false},
      {"C:\\Tools\\my.executables\\agent.exe", "C:\\Tools\\my.exe", false},
      {"C:\\Tools\\my.executables\\agent.exe", "C:\\Tools\\my.executables\\agent.exe", true},
      {"C:\\Tools\\my.executables\\agent.exe -x", "C:\\Tools\\my.executables\\agent.exe", true},
      {"C:\\my.exe dir\\agent.exe", "C:\\my.exe dir\\agent.exe", true},  // equal: always
      {"C:\\my.exe dir\\agent.exe /x", "C:\\my.exe dir\\agent.exe", false},
      {"C:\\my.exe dir\\agent.exe /x", "C:\\my.exe", true},
      {"C:\\Tools\\agent", kPath, false},
      {"C:\\Tools\\agent.exe", "C:\\Tools\\agent", false},
      {"C:\\Tools\\agent -x", "C:\\Tools\\agent", false},
      {"C:\\Tools\\agent", "C:\\Tools\\agent", true},       // no ".exe": the whole entry
      {"C:\\Tools\\agent", "C:\\TOOLS\\AGENT", true},
      {"C:\\a.exe\\agent.exe", "C:\\a.exe\\agent.exe", true},
      {"C:\\a.exe\\agent.exe", "C:\\a.exe", false},
      {"\"C:\\a\"b.exe\"", "C:\\a\"b.exe", false},
      {"\"C:\\a\"b.exe\"", "\"C:\\a\"b.exe\"", true},  // equal: always
      {" C:\\Tools\\agent.exe", kPath, false},
      {"C:\\Apps\\\xC4gent.exe", "C:\\Apps\\\xE4gent.exe", false},  // only ASCII letters fold
      {"C:\\Apps\\\xC4gent.exe", "C:\\APPS\\\xC4GENT.EXE", true},
      {"", kPath, false},
      {"\"\"", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " vs " + c.path);
    EXPECT_EQ(EntryNamesProgram(c.entry, c.path), c.names);
    EXPECT_EQ(SameAsciiCaseless(c.entry, c.path) || SameAsciiCaseless(ExecutablePart(c.entry), c.path), c.names);
  }
}

TEST(ProcessNames, WindowsHostsAreThoseAtWindowsOwnPlacesOnly) {
  struct Case {
    const char* path;
    bool host32, host64;  // on 32-bit and on 64-bit Windows
  } cases[] = {
      {"C:\\Windows\\System32\\svchost.exe", true, true},
      {"c:\\WINDOWS\\system32\\RUNDLL32.EXE", true, true},
      {"C:\\Windows\\SysWOW64\\cmd.exe", false, true},
      {"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe", true, true},
      {"C:\\Windows\\SysWOW64\\WindowsPowerShell\\v1.0\\powershell.exe", false, true},
      {"C:\\Windows\\explorer.exe", true, true},
      // Namesakes elsewhere below the Windows folder, some of it writable by anyone.
      {"C:\\Windows\\Temp\\svchost.exe", false, false},
      {"C:\\Windows\\svchost.exe", false, false},
      {"C:\\Windows\\System32\\Tasks\\svchost.exe", false, false},
      {"C:\\Windows\\System32\\..\\Temp\\svchost.exe", false, false},
      {"C:\\Windows\\System32\\powershell.exe", false, false},
      {"C:\\Windows\\Temp\\WindowsPowerShell\\v1.0\\powershell.exe", false, false},
      {"C:\\Windows\\System32\\explorer.exe", false, false},
      {"C:\\Windows\\Temp\\explorer.exe", false, false},
      {"C:\\Tools\\rundll32.exe", false, false},
      {"C:\\WindowsApps\\svchost.exe", false, false},
      {"C:\\Windows\\System32\\rundll32.exe.bak", false, false},
      {"C:\\Windows\\System32\\notepad.exe", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWindowsHost(c.path, {"C:\\Windows", false}), c.host32) << c.path;
    EXPECT_EQ(IsWindowsHost(c.path, {"C:\\Windows\\", true}), c.host64) << c.path;
  }
  // The Windows folder is where Windows says it is.
  EXPECT_TRUE(IsWindowsHost("D:\\WinNT\\System32\\svchost.exe", {"D:\\WinNT", false}));
  EXPECT_FALSE(IsWindowsHost("C:\\Windows\\System32\\svchost.exe", {"D:\\WinNT", true}));
}

TEST(ProcessNames, WindowsCriticalProgramsByTheirPlace) {
  constexpr const char* kWindows = "C:\\Windows";
  const std::pair<const char*, bool> cases[] = {
      {"C:\\Windows\\System32\\csrss.exe", true},
      {"C:\\windows\\system32\\LSASS.EXE", true},
      {"C:\\Windows\\System32\\winlogon.exe", true},
      {"C:\\Windows\\csrss.exe", false},  // only in the system folder
      {"C:\\Windows\\System32\\drivers\\csrss.exe", false},
      {"C:\\Tools\\csrss.exe", false},
      {"C:\\Windows\\System32\\rundll32.exe", false},
  };
  for (auto [path, critical] : cases) EXPECT_EQ(IsWindowsCritical(path, kWindows), critical) << path;
  EXPECT_TRUE(IsWindowsCritical("D:\\WinNT\\System32\\csrss.exe", "D:\\WinNT"));
  EXPECT_FALSE(IsWindowsCritical("C:\\Windows\\System32\\csrss.exe", "D:\\WinNT"));
}

TEST(ProcessNames, ACommandLineRunByAWindowsHostNeverForbidsTheHost) {
  const WindowsPlaces kWindows{"C:\\Windows", true};
  constexpr const char* kRundll = "C:\\Windows\\System32\\rundll32.exe";
  struct Case {
    const char* entry;
    const char* path;
    bool forbids;
  } cases[] = {
      {"C:\\Windows\\System32\\rundll32.exe C:\\x\\evil.dll,Run", kRundll, false},
      {"\"C:\\Windows\\System32\\rundll32.exe\" C:\\x\\evil.dll,Run", kRundll, false},
      {"C:\\Windows\\system32\\cmd.exe /c C:\\x\\evil.bat", "C:\\Windows\\System32\\cmd.exe", false},
      {"C:\\Windows\\explorer.exe C:\\x", "C:\\Windows\\explorer.exe", false},
      // The program itself, black-listed from the memory page.
      {kRundll, kRundll, true},
      {"c:\\windows\\system32\\RUNDLL32.exe", kRundll, true},
      // The same name elsewhere is an ordinary program.
      {"C:\\Tools\\rundll32.exe C:\\x.dll", "C:\\Tools\\rundll32.exe", true},
      {"C:\\Windows\\Temp\\svchost.exe -k x", "C:\\Windows\\Temp\\svchost.exe", true},
      {"C:\\Tools\\my.executables\\agent.exe /x", "C:\\Tools\\my.executables\\agent.exe", true},
      {"C:\\Tools\\my.executables\\agent.exe /x", "C:\\Tools\\my.exe", false},
  };
  for (const Case& c : cases) EXPECT_EQ(EntryForbids(c.entry, c.path, kWindows), c.forbids) << c.entry;
}

TEST(ProcessNames, TrashPathIsTheFileNameInTheTrashcanFolderOrNothing) {
  constexpr const char* kFolder = "D:\\Programs\\Quorvik\\Veltrane\\Trashcan\\";
  EXPECT_EQ(TrashPathOf(kFolder, "C:\\Apps\\agent.exe"), std::string(kFolder) + "agent.exe");
  EXPECT_EQ(TrashPathOf(kFolder, "C:agent.exe"), std::string(kFolder) + "agent.exe");
  // Names that would address the folder itself or one above it.
  for (const char* bad : {"C:\\Apps\\", "C:\\Apps\\..", "C:\\Apps\\.", "C:\\Apps\\. .", "C:\\a\\b/..", ""})
    EXPECT_EQ(TrashPathOf(kFolder, bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace process
