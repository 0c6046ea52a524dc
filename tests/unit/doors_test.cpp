// Reading the scheduled tasks and the services into entries: the Tasks
// folder's limits, an Exec action's command, and the digest that names long
// commands and broken task files.
#include <gtest/gtest.h>

#include <string>

#include "platform/sha256.h"
#include "registry/doors.h"
#include "tests/doubles/portable/portable.h"

namespace registry {
namespace {

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(platform::Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(platform::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits in the last block.
  EXPECT_EQ(platform::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(platform::Sha256Hex(std::string(1000000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(TaskCommand, QuotesAProgramWithABlankOnce) {
  EXPECT_EQ(TaskCommand({"C:\\Program Files\\a.exe", "/x"}), "\"C:\\Program Files\\a.exe\" /x");
  EXPECT_EQ(TaskCommand({"\"C:\\Program Files\\a.exe\"", ""}), "\"C:\\Program Files\\a.exe\"");
  EXPECT_EQ(TaskCommand({"C:\\a.exe", ""}), "C:\\a.exe");
}

class TaskTreeTest : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortablePlatform sys{scratch.path()};
  const std::string root = "C:\\Tasks";
  void SetUp() override { ASSERT_TRUE(sys.files.MakeFolder(root)); }
};

TEST_F(TaskTreeTest, StopsAtItsDepthAndSaysWhere) {
  std::string folder = root;
  for (int level = 1; level <= kMaxTaskLevels + 1; ++level) {
    folder += "\\" + std::to_string(level);
    ASSERT_TRUE(sys.files.MakeFolder(folder));
    ASSERT_TRUE(sys.files.Replace(folder + "\\task", "x"));
  }
  const TaskTree tree = ReadTaskTree(sys.files, root);
  EXPECT_EQ(tree.files.size(), size_t(kMaxTaskLevels));
  ASSERT_TRUE(tree.cut_at);
  EXPECT_EQ(*tree.cut_at, root + "\\1\\2\\3\\4\\5\\6\\7\\8");
  EXPECT_EQ(CutText(*tree.cut_at), "Veltrane stopped reading the Tasks folder at " + *tree.cut_at +
                                       ": it holds more than it can check.");
}

TEST_F(TaskTreeTest, StopsAtItsFileCount) {
  ASSERT_TRUE(sys.files.MakeFolder(root + "\\Sub"));
  for (int n = 0; n < 3; ++n) ASSERT_TRUE(sys.files.Replace(root + "\\Sub\\t" + std::to_string(n), ""));
  EXPECT_FALSE(ReadTaskTree(sys.files, root, 3).cut_at);
  const TaskTree tree = ReadTaskTree(sys.files, root, 2);
  EXPECT_EQ(tree.files.size(), 2u);
  EXPECT_EQ(tree.cut_at, root + "\\Sub");
}

// Breaking a task's file hides nothing: it is an entry named by its content.
TEST_F(TaskTreeTest, AFileThatIsNoTaskIsNamedByItsContent) {
  const std::vector<DoorEntry> broken = TaskEntries(sys.tasks, root, root + "\\Sub\\Broken", std::string("<Task>"));
  ASSERT_EQ(broken.size(), 1u);
  EXPECT_EQ(broken[0].name, "\\Sub\\Broken");
  EXPECT_FALSE(broken[0].real_command);
  EXPECT_EQ(broken[0].command, "(not a readable task, SHA-256 " + platform::Sha256Hex("<Task>") + ")");
  const std::string huge = "<Task><Actions><Exec><Command>C:\\a.exe</Command></Exec></Actions></Task>" +
                           std::string(kMaxTaskBytes, ' ');
  EXPECT_FALSE(TaskEntries(sys.tasks, root, root + "\\Huge", huge)[0].real_command);
  EXPECT_FALSE(TaskEntries(sys.tasks, root, root + "\\Gone", std::nullopt)[0].real_command);
}

}  // namespace
}  // namespace registry
