// The slot helpers and the configuration file's name.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "registry/data_files.h"
#include "tests/support/mem_files.h"
#include "tests/support/data_paths.h"

namespace registry {
namespace {

using testing_support::MemFiles;

TEST(DataFiles, SlotsAreSectionsNamedByNumber) {
  MemFiles files;
  IniStore store(files, testing_support::kWhiteListPath);
  WriteSlot(store, 7, {{"numer", "7"}, {"nazwa", "App"}, {"sekcja", "HKLM_run"}, {"wartosc", "C:\\a.exe"}});
  EXPECT_EQ(files.data[testing_support::kWhiteListPath], "[7]\r\nnumer=7\r\nnazwa=App\r\nsekcja=HKLM_run\r\nwartosc=C:\\a.exe\r\n");
  EXPECT_EQ(ReadSlot(store, 7, "wartosc"), "C:\\a.exe");
  EXPECT_EQ(ReadSlot(store, 8, "wartosc"), std::nullopt);
  EraseSlot(store, 7);
  EXPECT_EQ(files.data[testing_support::kWhiteListPath], "");
  EXPECT_EQ(ReadSlot(store, 7, "wartosc"), std::nullopt);
}

struct FreeCase {
  const char* name;
  std::vector<int> used;
  int last_slot;
  int expected;
};

TEST(DataFiles, FindFreeSlot) {
  const FreeCase kCases[] = {
      {"empty file", {}, 250, 0},
      {"after the used ones", {0, 1, 2}, 250, 3},
      {"a gap is reused first", {0, 1, 3, 4}, 250, 2},
      {"the last slot", [] { std::vector<int> v; for (int n = 0; n < 250; ++n) v.push_back(n); return v; }(), 250,
       250},
      {"full", [] { std::vector<int> v; for (int n = 0; n <= 250; ++n) v.push_back(n); return v; }(), 250, -1},
      {"the white list goes on to 500",
       [] { std::vector<int> v; for (int n = 0; n <= 250; ++n) v.push_back(n); return v; }(), 500, 251},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    MemFiles files;
    IniStore store(files, testing_support::kBlackListPath);
    for (int n : c.used) WriteSlot(store, n, {{"sciezka", "C:\\x" + std::to_string(n) + ".exe"}});
    EXPECT_EQ(FindFreeSlot(store, "sciezka", c.last_slot), c.expected);
  }
}

TEST(DataFiles, OnlyAMissingKeyIsFreeWhateverTheTextOfAnother) {
  MemFiles files;
  files.data[testing_support::kWhiteListPath] =
      "[0]\r\nwartosc=error\r\n[1]\r\nwartosc=err\r\n[2]\r\nwartosc=\r\n[3]\r\nnazwa=no entry key\r\n";
  IniStore store(files, testing_support::kWhiteListPath);
  EXPECT_EQ(FindFreeSlot(store, "wartosc", 500), 3);
  EXPECT_EQ(ReadSlot(store, 0, "wartosc"), "error");
  EXPECT_EQ(ReadSlot(store, 2, "wartosc"), "");
}

TEST(DataFiles, ABatchLooksAtTheFileOnceAndSeesItsOwnWrites) {
  MemFiles files;
  IniStore store(files, testing_support::kTrashcanListPath);
  WriteSlot(store, 0, {{"sciezka", "C:\\a.exe"}});
  {
    IniStore::Batch batch(store);
    files.stats = 0;
    const std::vector<std::optional<std::string>> slots = ReadSlots(store, "sciezka", 250);
    EXPECT_EQ(slots.size(), 251u);
    EXPECT_EQ(slots[0], "C:\\a.exe");
    EXPECT_EQ(files.stats, 1);
    // Another program's change waits for the next batch; the store's own
    // write is seen at once.
    files.data[testing_support::kTrashcanListPath] = "[0]\r\nsciezka=C:\\other.exe\r\n";
    ++files.mtime;
    EXPECT_EQ(ReadSlot(store, 0, "sciezka"), "C:\\a.exe");
    WriteSlot(store, 1, {{"sciezka", "C:\\b.exe"}});
    EXPECT_EQ(ReadSlot(store, 1, "sciezka"), "C:\\b.exe");
    EXPECT_EQ(ReadSlot(store, 0, "sciezka"), "C:\\other.exe");
  }
  files.data[testing_support::kTrashcanListPath] = "";
  ++files.mtime;
  EXPECT_EQ(ReadSlot(store, 1, "sciezka"), std::nullopt);
}

TEST(DataFiles, TheVersionTellsWhetherWhatWasReadStillHolds) {
  MemFiles files;
  IniStore store(files, testing_support::kWhiteListPath);
  const uint64_t missing = store.Version();
  EXPECT_EQ(store.Version(), missing);
  WriteSlot(store, 0, {{"wartosc", "a"}});
  const uint64_t written = store.Version();
  EXPECT_NE(written, missing);
  EXPECT_EQ(store.Version(), written);
  files.data[testing_support::kWhiteListPath] += "[1]\r\nwartosc=b\r\n";  // another program
  EXPECT_NE(store.Version(), written);
  files.data.erase(testing_support::kWhiteListPath);
  const uint64_t gone = store.Version();
  EXPECT_EQ(store.Version(), gone);
  EXPECT_EQ(ReadSlot(store, 0, "wartosc"), std::nullopt);
}

TEST(DataFiles, ConfigPath) {
  const std::pair<const char*, const char*> kNames[] = {
      {"tester", "C:\\Windows\\tester_config.vlt"},
      {"", "C:\\Windows\\default_config.vlt"},
      {"Jan Kowalski", "C:\\Windows\\Jan Kowalski_config.vlt"},
      {"\xa3ukasz", "C:\\Windows\\\xa3ukasz_config.vlt"},
      {"..\\x", "C:\\Windows\\.._x_config.vlt"},
      {"a<b>c:d\"e/f|g?h*i", "C:\\Windows\\a_b_c_d_e_f_g_h_i_config.vlt"},
      {"tab\there", "C:\\Windows\\tab_here_config.vlt"},
  };
  for (const auto& [user, path] : kNames) EXPECT_EQ(ConfigPath("C:\\Windows", user), path) << user;
}

TEST(DataFiles, PathsFollowTheWindowsFolderWhereverItIs) {
  EXPECT_EQ(DataPath("C:\\Windows", white_list::kDataFile), testing_support::kWhiteListPath);
  EXPECT_EQ(DataPath("D:\\WINNT", kLockFile), "D:\\WINNT\\veltrane.lck");
  EXPECT_EQ(DataPath("E:\\", statistics::kDataFile), "E:\\statistics.vlt");
  EXPECT_EQ(ConfigPath("D:\\WINNT", "..\\x"), "D:\\WINNT\\.._x_config.vlt");
}

}  // namespace
}  // namespace registry
