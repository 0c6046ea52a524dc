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
      {"C:\\Tools\\agent.exe.bak", kPath, true},  // up to the first ".exe"
      {"\"C:\\Tools\\agent.exe /background\"x", kPath, false},
      {"\"C:\\Tools\\agent.exe\"/x", kPath, true},
      {"C:\\Tools\\agent.ex", kPath, false},
      {"C:\\Tools\\agent.exeX", kPath, true},
      {"C:\\Tools\\agent", kPath, false},
      {"C:\\Tools\\agent.exe", "C:\\Tools\\agent", false},
      {"C:\\Tools\\agent -x", "C:\\Tools\\agent", false},
      {"C:\\Tools\\agent", "C:\\Tools\\agent", true},       // no ".exe": the whole entry
      {"C:\\Tools\\agent", "C:\\TOOLS\\AGENT", true},
      {"C:\\a.exe\\agent.exe", "C:\\a.exe\\agent.exe", false},
      {"C:\\a.exe\\agent.exe", "C:\\a.exe", true},
      {"\"C:\\a\"b.exe\"", "C:\\a\"b.exe", false},
      {" C:\\Tools\\agent.exe", kPath, false},
      {"C:\\Apps\\\xC4gent.exe", "C:\\Apps\\\xE4gent.exe", false},  // only ASCII letters fold
      {"C:\\Apps\\\xC4gent.exe", "C:\\APPS\\\xC4GENT.EXE", true},
      {"", kPath, false},
      {"\"\"", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " vs " + c.path);
    EXPECT_EQ(EntryNamesProgram(c.entry, c.path), c.names);
    EXPECT_EQ(SameAsciiCaseless(ExecutablePart(c.entry), c.path), c.names);
  }
}

TEST(ProcessNames, TrashPathIsTheFileNameInTheTrashcanFolderOrNothing) {
  EXPECT_EQ(TrashPathOf("C:\\Apps\\agent.exe"), std::string(kTrashcanFolder) + "agent.exe");
  EXPECT_EQ(TrashPathOf("C:agent.exe"), std::string(kTrashcanFolder) + "agent.exe");
  // Names that would address the folder itself or one above it.
  for (const char* bad : {"C:\\Apps\\", "C:\\Apps\\..", "C:\\Apps\\.", "C:\\Apps\\. .", "C:\\a\\b/..", ""})
    EXPECT_EQ(TrashPathOf(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace process
