// Win32Files::OpenWriter: a file is whole in its place or not there at all.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/win32/win32_files.h"

namespace platform::win32 {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::string Utf8(const fs::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

class Win32FileWriter : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("veltrane-writer-" + std::to_string(GetCurrentProcessId()));
  Win32Files files;

  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override {
    for (const auto& e : fs::recursive_directory_iterator(dir)) SetFileAttributesW(e.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir);
  }
  std::string In(const char8_t* name) { return Utf8(dir / fs::path(name)); }
  std::vector<std::string> Entries() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(Utf8(e.path().filename()));
    return names;
  }
};

TEST_F(Win32FileWriter, CommitPutsTheWholeFileInPlaceAndDroppingLeavesTheOldOne) {
  const std::string target = In(u8"veltraneupdate.zip");
  const std::string bytes("PK\0\x03\xff\r\n", 7);
  ASSERT_TRUE(files.Replace(target, "old"));
  {
    auto dropped = files.OpenWriter(target);
    ASSERT_TRUE(dropped);
    EXPECT_TRUE(dropped->Write(bytes.data(), bytes.size()));
    EXPECT_THAT(Entries(), ::testing::SizeIs(2));  // under another name meanwhile
  }
  EXPECT_EQ(files.ReadAll(target), "old");
  EXPECT_THAT(Entries(), ElementsAre("veltraneupdate.zip"));

  auto writer = files.OpenWriter(target);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(writer->Write(bytes.data(), 3));
  ASSERT_TRUE(writer->Write(bytes.data() + 3, bytes.size() - 3));
  EXPECT_EQ(files.ReadAll(target), "old");
  ASSERT_TRUE(writer->Commit());
  writer.reset();
  EXPECT_EQ(files.ReadAll(target), bytes);
  EXPECT_THAT(Entries(), ElementsAre("veltraneupdate.zip"));
}

TEST_F(Win32FileWriter, NamesAreWideAndUnusablePlacesAreRefused) {
  const std::string unicode = In(u8"Zażółć gęślą jaźń ✓.zip");
  auto writer = files.OpenWriter(unicode);
  ASSERT_TRUE(writer);
  ASSERT_TRUE(writer->Write("x", 1));
  ASSERT_TRUE(writer->Commit());
  EXPECT_THAT(Entries(), ElementsAre(Utf8(fs::path(u8"Zażółć gęślą jaźń ✓.zip"))));

  const std::string locked = In(u8"locked.zip");
  ASSERT_TRUE(files.Replace(locked, "kept"));
  ASSERT_TRUE(SetFileAttributesW((dir / L"locked.zip").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(files.OpenWriter(locked));
  EXPECT_EQ(files.ReadAll(locked), "kept");
  EXPECT_FALSE(files.OpenWriter(In(u8"no such folder\\a.zip")));
  EXPECT_FALSE(files.OpenWriter(Utf8(dir)));
  EXPECT_FALSE(files.OpenWriter(std::string("C:\\a\0b", 6)));
  EXPECT_THAT(Entries(), UnorderedElementsAre(Utf8(fs::path(u8"Zażółć gęślą jaźń ✓.zip")), "locked.zip"));
}

// Whatever has the temporary file's name before the writer comes (planted
// there by another program) is neither written nor removed.
TEST_F(Win32FileWriter, NeverOpensWhatAlreadyHasTheTemporaryName) {
  const std::string target = In(u8"veltraneupdate.zip");
  const std::string name = "veltraneupdate.zip.tmp-" + std::to_string(GetCurrentProcessId()) + "-1";
  const std::string planted = Utf8(dir / name);
  std::ofstream(dir / name, std::ios::binary) << "planted";
  EXPECT_FALSE(files.OpenWriter(target));
  EXPECT_EQ(files.ReadAll(planted), "planted");
  EXPECT_FALSE(files.Exists(target));
  // The next name is free.
  auto writer = files.OpenWriter(target);
  ASSERT_TRUE(writer);
  EXPECT_TRUE(writer->Write("new", 3));
  EXPECT_TRUE(writer->Commit());
  EXPECT_EQ(files.ReadAll(target), "new");
  EXPECT_EQ(files.ReadAll(planted), "planted");
}

}  // namespace
}  // namespace platform::win32
