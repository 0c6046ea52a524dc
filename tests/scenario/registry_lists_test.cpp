// The lists page: "Remove" on the white and the black list, "Refresh All".
#include <algorithm>

#include "registry/lists_page.h"
#include "tests/scenario/registry_fixture.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using platform::RootKey;
using R = RegistryProgram::Reply;

const std::string kShared = "C:\\Shared\\shared.exe";

class RegistryLists : public RegistryProgram {
 protected:
  void SetUp() override {
    SeedAutostartKeys();
    WriteList(testing_support::kWhiteListPath,
              "[2]\r\nwartosc=C:\\Shared\\shared.exe\r\n[5]\r\nwartosc=C:\\Other\\other.exe\r\n"
              "[7]\r\nnumer=7\r\nwartosc=C:\\Shared\\shared.exe\r\n[300]\r\nwartosc=C:\\Shared\\shared.exe\r\n");
    WriteList(testing_support::kBlackListPath,
              "[0]\r\nsciezka=C:\\Shared\\shared.exe\r\n[1]\r\nsciezka=C:\\Bad\\bad.exe\r\n");
    Configure("");
    StartAnswering();
    Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("listy"));
    velmain->RefreshLists();
    backend.ClearBoxes();
  }
  // Picks the item (when given) and presses the button; boxes get answers.
  void Remove(tk::ListBox& list, tk::Button& button, const std::string& item,
              const std::vector<tk::ModalResult>& answers) {
    if (!item.empty()) {
      auto it = std::find(list.Items().begin(), list.Items().end(), item);
      ASSERT_NE(it, list.Items().end()) << item;
      ASSERT_TRUE(backend.Select(list, int(it - list.Items().begin())));
    }
    for (tk::ModalResult answer : answers) backend.AnswerBoxes({answer});
    ASSERT_TRUE(backend.Click(button));
    backend.RunUntilIdle();
  }
  const std::vector<std::string>& White() { return List("list_pozwolonych").Items(); }
  const std::vector<std::string>& Black() { return List("list_zabronionych").Items(); }
};

TEST_F(RegistryLists, RemovingATextErasesEverySlotThatHoldsIt) {
  ASSERT_EQ(White(), (std::vector<std::string>{kShared, "C:\\Other\\other.exe", kShared, kShared}));
  Remove(List("list_pozwolonych"), Button("Button18"), kShared, {tk::ModalResult::Ok});

  ASSERT_EQ(backend.Boxes().size(), 4u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);
  EXPECT_EQ(backend.Boxes()[0].buttons, tk::MsgButtons::OkCancel);
  EXPECT_EQ(backend.Boxes()[0].text, registry::kConfirmRemoval);
  for (int i = 1; i < 4; ++i) {
    EXPECT_EQ(backend.Boxes()[i].kind, tk::MsgKind::Plain);
    EXPECT_EQ(backend.Boxes()[i].text, "Item removed.");
  }
  for (int slot : {2, 7, 300}) EXPECT_EQ(WhiteSlot(slot, "wartosc"), "err") << slot;
  EXPECT_EQ(WhiteSlot(7, "numer"), "err");  // the whole section goes
  EXPECT_EQ(WhiteSlot(5), "C:\\Other\\other.exe");
  EXPECT_EQ(White(), std::vector<std::string>{"C:\\Other\\other.exe"});
  // The other list is not touched.
  EXPECT_EQ(Slot(testing_support::kBlackListPath, 0, "sciezka"), kShared);
  EXPECT_EQ(Black(), (std::vector<std::string>{kShared, "C:\\Bad\\bad.exe"}));
}

TEST_F(RegistryLists, TheBlackListRemovesOnlyFromItself) {
  Remove(List("list_zabronionych"), Button("Button19"), kShared, {tk::ModalResult::Ok});
  EXPECT_EQ(backend.BoxTexts(), (std::vector<std::string>{std::string(registry::kConfirmRemoval), "Item removed."}));
  EXPECT_EQ(Slot(testing_support::kBlackListPath, 0, "sciezka"), "err");
  EXPECT_EQ(Black(), std::vector<std::string>{"C:\\Bad\\bad.exe"});
  const auto white = White();
  EXPECT_EQ(std::count(white.begin(), white.end(), kShared), 3);
}

TEST_F(RegistryLists, NothingIsErasedWithoutASelectionAnOkOrAMatchButTheListsAreRefreshed) {
  struct Case {
    const char* what;
    std::string item;
    std::vector<tk::ModalResult> answers;
    std::vector<std::string> boxes;
  } cases[] = {
      {"no selection", "", {}, {}},
      {"cancelled", kShared, {tk::ModalResult::Cancel}, {std::string(registry::kConfirmRemoval)}},
      {"stale item", "C:\\Other\\other.exe", {tk::ModalResult::Ok}, {std::string(registry::kConfirmRemoval)}},
  };
  for (const Case& c : cases) {
    velmain->RefreshLists();
    List("list_pozwolonych").SetItemIndex(-1);
    // The file changes behind the list's back.
    const std::string before = ReadFile(testing_support::kWhiteListPath);
    {
      registry::IniStore list(sys.files, testing_support::kWhiteListPath);
      registry::EraseSlot(list, 5);
      registry::WriteSlot(list, 9, {{"wartosc", "C:\\New\\new.exe"}});
    }
    ListChanged();
    const std::string changed = ReadFile(testing_support::kWhiteListPath);
    backend.ClearBoxes();

    Remove(List("list_pozwolonych"), Button("Button18"), c.item, c.answers);

    EXPECT_EQ(backend.BoxTexts(), c.boxes) << c.what;
    EXPECT_EQ(ReadFile(testing_support::kWhiteListPath), changed) << c.what;
    EXPECT_EQ(White(), (std::vector<std::string>{kShared, kShared, "C:\\New\\new.exe", kShared})) << c.what;
    WriteList(testing_support::kWhiteListPath, before);
  }
}

TEST_F(RegistryLists, AnEntryTakenOffTheWhiteListIsAskedAboutAgain) {
  sys.registry.Set(RootKey::LocalMachine, kRun, "Shared", platform::RegValue{1, kShared});
  ExitScan();
  ASSERT_EQ(Alerts(), 0);

  Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("listy"));
  Remove(List("list_pozwolonych"), Button("Button18"), kShared, {tk::ModalResult::Ok});
  AnswerAlerts({R::Allow});
  ExitScan();
  EXPECT_EQ(Alerts(), 1);
  EXPECT_EQ(WhiteSlot(0), kShared);
}

TEST_F(RegistryLists, RefreshAllRereadsTheFiles) {
  WriteList(testing_support::kBlackListPath, "[3]\r\nsciezka=C:\\Late\\late.exe\r\n");
  ASSERT_TRUE(backend.Click(Button("Button22")));
  backend.RunUntilIdle();
  EXPECT_EQ(Black(), std::vector<std::string>{"C:\\Late\\late.exe"});
  EXPECT_TRUE(backend.Boxes().empty());
}

}  // namespace
}  // namespace scenario
