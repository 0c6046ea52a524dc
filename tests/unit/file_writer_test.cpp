// PortableFiles::OpenWriter: a file is whole in its place or not there at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/portable/portable.h"

namespace platform::portable {
namespace {

using ::testing::ElementsAre;

class PortableFileWriter : public ::testing::Test {
 protected:
  ScratchFolder scratch;
  PortableFiles files{scratch.path()};
  const std::string target = "C:\\veltraneupdate.zip";

  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(scratch.path()))
      names.push_back(e.path().filename().string());
    return names;
  }
  // Writes bytes and commits, or drops the writer unfinished.
  bool Write(const std::string& bytes, bool commit) {
    auto writer = files.OpenWriter(target);
    if (!writer || !writer->Write(bytes.data(), bytes.size())) return false;
    return !commit || writer->Commit();
  }
};

TEST_F(PortableFileWriter, OnlyACommittedFileTakesTheTargetsPlace) {
  const std::string bytes("PK\0\x03\xff\r\n", 7);
  EXPECT_TRUE(Write(bytes, false));
  EXPECT_FALSE(files.Exists(target));
  EXPECT_TRUE(Entries().empty());
  ASSERT_TRUE(Write(bytes, true));
  EXPECT_EQ(files.ReadAll(target), bytes);
  EXPECT_TRUE(Write("other", false));
  EXPECT_EQ(files.ReadAll(target), bytes);
  files.SetRenameFails(true);
  EXPECT_FALSE(Write("other", true));
  files.SetRenameFails(false);
  EXPECT_EQ(files.ReadAll(target), bytes);
  EXPECT_THAT(Entries(), ElementsAre("veltraneupdate.zip"));
}

TEST_F(PortableFileWriter, UnusablePlacesAreRefused) {
  ASSERT_TRUE(files.Replace(target, "kept"));
  ASSERT_TRUE(files.SetReadOnly(target));
  EXPECT_FALSE(files.OpenWriter(target));
  EXPECT_FALSE(files.OpenWriter("C:\\no such folder\\a.zip"));
  std::filesystem::create_directories(scratch.path() / "folder");
  EXPECT_FALSE(files.OpenWriter("C:\\folder"));
  EXPECT_FALSE(files.OpenWriter("Q:\\a.zip"));
  EXPECT_EQ(files.ReadAll(target), "kept");
  EXPECT_THAT(Entries(), ::testing::UnorderedElementsAre("veltraneupdate.zip", "folder"));
}

}  // namespace
}  // namespace platform::portable
