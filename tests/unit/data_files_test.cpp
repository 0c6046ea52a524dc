// The slot helpers and the configuration file's name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/data_files.h"
#include "tests/support/mem_files.h"

namespace registry {
namespace {

using testing_support::MemFiles;

TEST(DataFiles, SlotsAreSectionsNamedByNumber) {
  MemFiles files;
  IniStore store(files, kWhiteListPath);
  WriteSlot(store, 7, {{"numer", "7"}, {"nazwa", "App"}, {"sekcja", "HKLM_run"}, {"wartosc", "C:\\a.exe"}});
  EXPECT_EQ(files.data[kWhiteListPath], "[7]\r\nnumer=7\r\nnazwa=App\r\nsekcja=HKLM_run\r\nwartosc=C:\\a.exe\r\n");
  EXPECT_EQ(ReadSlot(store, 7, "wartosc", kMarkerErr), "C:\\a.exe");
  EXPECT_EQ(ReadSlot(store, 8, "wartosc", kMarkerErr), "err");
  EraseSlot(store, 7);
  EXPECT_EQ(files.data[kWhiteListPath], "");
  EXPECT_EQ(ReadSlot(store, 7, "wartosc", kMarkerError), "error");
}

struct FreeCase {
  const char* name;
  std::vector<int> used;
  const char* marker;
  int last_slot;
  int expected;
};

TEST(DataFiles, FindFreeSlot) {
  const FreeCase kCases[] = {
      {"empty file", {}, "error", 250, 0},
      {"after the used ones", {0, 1, 2}, "error", 250, 3},
      {"a gap is reused first", {0, 1, 3, 4}, "err", 250, 2},
      {"the last slot", [] { std::vector<int> v; for (int n = 0; n < 250; ++n) v.push_back(n); return v; }(),
       "err", 250, 250},
      {"full", [] { std::vector<int> v; for (int n = 0; n <= 250; ++n) v.push_back(n); return v; }(),
       "err", 250, -1},
      {"the white list goes on to 500",
       [] { std::vector<int> v; for (int n = 0; n <= 250; ++n) v.push_back(n); return v; }(), "error", 500, 251},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    MemFiles files;
    IniStore store(files, kBlackListPath);
    for (int n : c.used) WriteSlot(store, n, {{"sciezka", "C:\\x" + std::to_string(n) + ".exe"}});
    EXPECT_EQ(FindFreeSlot(store, "sciezka", c.marker, c.last_slot), c.expected);
  }
}

TEST(DataFiles, FreeMeansReadsBackAsTheMarkerExactly) {
  MemFiles files;
  files.data[kWhiteListPath] =
      "[0]\r\nwartosc=ERROR\r\n[1]\r\nwartosc=error \r\n[2]\r\nnazwa=no entry key\r\n[3]\r\nwartosc=\"error\"\r\n";
  IniStore store(files, kWhiteListPath);
  // Case counts; blanks and quotes are gone by the time the text is read.
  EXPECT_EQ(FindFreeSlot(store, "wartosc", "error", 500), 1);
  EXPECT_EQ(FindFreeSlot(store, "wartosc", "err", 250), 2);
  EraseSlot(store, 0);
  EXPECT_EQ(FindFreeSlot(store, "wartosc", "error", 500), 0);
}

TEST(DataFiles, FindFreeSlotPumpsUntilItHasFoundOne) {
  MemFiles files;
  IniStore store(files, kTrashcanPath);
  for (int n = 0; n < 10; ++n) WriteSlot(store, n, {{"sciezka", "x"}});
  int pumps = 0;
  EXPECT_EQ(FindFreeSlot(store, "sciezka", "err", 250, [&] { ++pumps; }), 10);
  EXPECT_EQ(pumps, 11);
  pumps = 0;
  EXPECT_EQ(FindFreeSlot(store, "sciezka", "err", 9, [&] { ++pumps; }), -1);
  EXPECT_EQ(pumps, 10);
  // What the pump runs is seen by the next read.
  EXPECT_EQ(FindFreeSlot(store, "sciezka", "err", 250, [&] { EraseSlot(store, 4); }), 4);
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
  for (const auto& [user, path] : kNames) EXPECT_EQ(ConfigPath(user), path) << user;
}

}  // namespace
}  // namespace registry
