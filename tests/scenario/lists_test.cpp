// RefreshLists: the four list boxes mirror the data files.
#include <gmock/gmock.h>

#include "registry/data_files.h"
#include "tests/scenario/program.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr const char* kWhite = "C:\\Windows\\list.vlt";
constexpr const char* kBlack = "C:\\Windows\\disallowed.vlt";
constexpr const char* kTrash = "C:\\Windows\\trashcan.vlt";
constexpr const char* kStats = "C:\\Windows\\statistics.vlt";

// Remembers every text the status line shows.
class CaptionLog : public tk::ControlPeer {
 public:
  explicit CaptionLog(tk::Control& c) : control_(c) {}
  void Update(tk::Prop p) override {
    if (p == tk::Prop::Caption) texts.push_back(control_.Caption());
  }
  std::vector<std::string> texts;

 private:
  tk::Control& control_;
};

class Lists : public Program {
 protected:
  Lists() {
    SeedAutostartKeys();
    WriteFile("C:\\Windows\\tester_config.vlt", "[glowna]\r\nskonfigurowany=1\r\nauto_start=1\r\nauto_skan_koncowy=1\r\n");
  }
  // A list file with one entry key per listed slot.
  static std::string File(const char* key, std::initializer_list<std::pair<std::string, std::string>> slots) {
    std::string text;
    for (const auto& [slot, value] : slots) text += "[" + slot + "]\r\n" + key + "=" + value + "\r\n";
    return text;
  }
  void Refresh() {
    backend.Post([this] { velmain->RefreshLists(); });
    backend.RunUntilIdle();
  }
};

TEST_F(Lists, AllFilesMissing) {
  Start();
  for (tk::ListBox* list : {&List("list_pozwolonych"), &List("list_zabronionych"), &List("list_smietnik"), &List("list_rejestr")})
    EXPECT_THAT(list->Items(), IsEmpty()) << list->Name();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 50%");
}

TEST_F(Lists, WhatIsListed) {
  WriteFile(kBlack, "[abc]\r\nsciezka=not a number\r\n"
                    "[00]\r\nsciezka=leading zero\r\n"
                    "[+1]\r\nsciezka=signed\r\n"
                    "[5]\r\nsciezka=five\r\n"
                    "[2]\r\nsciezka=err\r\n"
                    "[3]\r\nsciezka=error\r\n"
                    "[4]\r\nsciezka=\"C:\\quoted path.exe\"\r\n"
                    "[1]\r\nnazwa=no entry key\r\n"
                    "[ 6 ]\r\nsciezka=  blanks  \r\n"
                    "[7]\r\nsciezka=five\r\n"
                    "[250]\r\nsciezka=last\r\n"
                    "[251]\r\nsciezka=beyond\r\n"
                    "[5]\r\nsciezka=hidden duplicate section\r\n");
  Start();
  // In slot order, every entry whatever its text; duplicates stay.
  EXPECT_THAT(List("list_zabronionych").Items(),
              ElementsAre("err", "error", "C:\\quoted path.exe", "five", "blanks", "five", "last"));
}

TEST_F(Lists, EachFileFillsItsListAndTheWhiteListGoesOnTo500) {
  WriteFile(kWhite, File("wartosc", {{"0", "zero"}, {"250", "w250"}, {"251", "w251"}, {"500", "w500"}, {"501", "w501"}}));
  WriteFile(kBlack, File("sciezka", {{"0", "black"}, {"250", "b250"}, {"251", "b251"}, {"500", "b500"}}));
  WriteFile(kTrash, File("sciezka", {{"1", "trash"}, {"250", "t250"}, {"251", "t251"}}));
  WriteFile(kStats, File("wartosc", {{"2", "stats"}, {"250", "s250"}, {"251", "s251"}}));
  Start();
  EXPECT_THAT(List("list_pozwolonych").Items(), ElementsAre("zero", "w250", "w251", "w500"));
  EXPECT_THAT(List("list_zabronionych").Items(), ElementsAre("black", "b250"));
  EXPECT_THAT(List("list_smietnik").Items(), ElementsAre("trash", "t250"));
  EXPECT_THAT(List("list_rejestr").Items(), ElementsAre("stats", "s250"));
}

TEST_F(Lists, StatusGrowsOneDotPerSlotTo55Characters) {
  Start();
  auto log = std::make_unique<CaptionLog>(Find<components::TProPanel>("status"));
  CaptionLog* texts = log.get();
  backend.AttachPeer(Find<components::TProPanel>("status"), std::move(log));
  Refresh();
  std::vector<std::string> expected{"Refreshing lists."};
  while (expected.back().size() < 55) expected.push_back(expected.back() + ".");
  expected.push_back("System Protection: 50%");
  EXPECT_THAT(texts->texts, ElementsAreArray(expected));
  EXPECT_EQ(expected[expected.size() - 2], "Refreshing lists." + std::string(38, '.'));
  backend.AttachPeer(Find<components::TProPanel>("status"), nullptr);
}

TEST_F(Lists, RefillingReplacesTheOldItems) {
  WriteFile(kWhite, File("wartosc", {{"0", "a"}, {"1", "b"}}));
  Start();
  WriteFile(kWhite, File("wartosc", {{"1", "b"}, {"3", "d"}}));
  List("list_pozwolonych").SetItemIndex(1);
  Refresh();
  EXPECT_THAT(List("list_pozwolonych").Items(), ElementsAre("b", "d"));
  EXPECT_EQ(List("list_pozwolonych").ItemIndex(), -1);
}

TEST_F(Lists, ARefreshStartedInsideAnotherLeavesNoDuplicates) {
  WriteFile(kWhite, File("wartosc", {{"0", "a"}, {"1", "b"}, {"300", "c"}}));
  WriteFile(kBlack, File("sciezka", {{"0", "x"}, {"9", "y"}}));
  app::Tvelmain& w = Start();
  // "Refresh All" clicked while a refresh pumps messages.
  int nested = 0;
  backend.Post([&] {
    backend.Post([&] {
      ++nested;
      w.RefreshLists();
    });
    w.RefreshLists();
  });
  backend.RunUntilIdle();
  EXPECT_EQ(nested, 1);
  EXPECT_THAT(List("list_pozwolonych").Items(), ElementsAre("a", "b", "c"));
  EXPECT_THAT(List("list_zabronionych").Items(), ElementsAre("x", "y"));
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 50%");
}

TEST_F(Lists, QuotedCommandLinesReadBackAsTheyWereWritten) {
  // Entries written through the program keep their quotes and blanks.
  const std::string kValues[] = {"\"C:\\Program Files\\App\\app.exe\"", "\"C:\\a.exe\" \"x\"", " padded ", "'x'"};
  app::Tvelmain& w = Start();
  for (int n = 0; n < 4; ++n) registry::WriteSlot(w.protection().Data().white_list, 260 + n, {{"wartosc", kValues[n]}});
  Refresh();
  EXPECT_THAT(List("list_pozwolonych").Items(), ElementsAreArray(kValues));
}

}  // namespace
}  // namespace scenario
