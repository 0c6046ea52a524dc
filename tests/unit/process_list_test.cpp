// Building the process list from what the system reports.
#include <gmock/gmock.h>

#include "tests/doubles/portable/portable_processes.h"
#include "process/process_list.h"

namespace process {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ProcessListTest : public ::testing::Test {
 protected:
  platform::portable::PortableProcesses procs;
};

TEST_F(ProcessListTest, ListsReadablePathsInTheSystemsOrderDuplicatesIncluded) {
  procs.Add(0, "C:\\idle.exe");  // whatever the system says about id 0
  procs.Add(8, "C:\\Apps\\b.exe");
  procs.Add(4, "");               // the system process has no path
  procs.Add(9, "C:\\Other\\hidden.exe");
  procs.SetImagePathHidden(9);
  procs.Add(3, "C:\\Apps\\a.exe");
  procs.Add(5, "C:\\Apps\\b.exe");
  procs.Add(6, std::string("C:\\Apps\\c.exe\0junk", 18));
  EXPECT_THAT(ProcessPaths(procs), ElementsAre("C:\\Apps\\b.exe", "C:\\Apps\\a.exe", "C:\\Apps\\b.exe", "C:\\Apps\\c.exe"));
}

TEST_F(ProcessListTest, LongPathsAreKeptWholeAndOnlyTheFirst1025IdsAreExamined) {
  for (uint32_t pid = 1; pid <= 1030; ++pid) procs.Add(pid, "C:\\p" + std::to_string(pid) + ".exe");
  // A cut path would name another file, which an action could then hit.
  const std::string long_path = "\\\\?\\C:\\" + std::string(32000, 'x') + ".exe";
  procs.Add(1, long_path);
  procs.Add(2, "C:\\" + std::string(300, 'x') + ".exe");
  const std::vector<std::string> paths = ProcessPaths(procs);
  ASSERT_EQ(paths.size(), 1025u);
  EXPECT_EQ(paths[0], long_path);
  EXPECT_EQ(paths[1], "C:\\" + std::string(300, 'x') + ".exe");
  EXPECT_EQ(paths.back(), "C:\\p1025.exe");
}

TEST_F(ProcessListTest, AFailedEnumerationListsNothing) { EXPECT_THAT(ProcessPaths(procs), IsEmpty()); }

}  // namespace
}  // namespace process
