// Settings: the configuration file, the protection level and the check
// boxes' handlers.
#include <gmock/gmock.h>

#include <set>

#include "tests/scenario/program.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;

constexpr const char* kConfigPath = "C:\\Windows\\tester_config.vlt";

class Configuration : public Program {
 protected:
  Configuration() { SeedAutostartKeys(); }

  // Starts with a configuration file holding these lines.
  app::Tvelmain& StartWith(const std::string& glowna, const std::string& skan = "") {
    WriteFile(kConfigPath, "[glowna]\r\nskonfigurowany=1\r\n" + glowna + "[skan]\r\n" + skan);
    return Restart();
  }
};

TEST_F(Configuration, EveryLevelIsReachable) {
  const char* kKeys[] = {"auto_start", "auto_skan_rejestru", "auto_skan_pamieci", "auto_skan_koncowy"};
  const int kWeights[] = {30, 25, 25, 20};
  std::set<int> levels;
  for (int mask = 0; mask < 16; ++mask) {
    std::string lines;
    int level = 0;
    for (int bit = 0; bit < 4; ++bit) {
      bool on = mask & (1 << bit);
      lines += std::string(kKeys[bit]) + "=" + (on ? "1" : "0") + "\r\n";
      if (on) level += kWeights[bit];
    }
    // The unweighted settings change nothing.
    lines += mask % 3 ? "auto_skan_zywy=1\r\nauto_skan_co_godzine=1\r\n" : "";
    StartWith(lines, mask % 2 ? "skanuj_rejestr=1\r\nskanuj_pamiec=1\r\n" : "");
    EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: " + std::to_string(level) + "%") << lines;
    levels.insert(level);
  }
  EXPECT_EQ(levels, (std::set<int>{0, 20, 25, 30, 45, 50, 55, 70, 75, 80, 100}));
}

struct FlagCase {
  const char* text;
  bool on;
};

TEST_F(Configuration, AFlagIsOnWhenItIsANonZeroInteger) {
  const FlagCase kFlags[] = {
      {"1", true},          {"0", false},       {"2", true},          {"-1", true},
      {"+7", true},         {"-0", false},      {"007", true},        {"000", false},
      {"0x10", true},       {"0X1f", true},     {"0x0", false},       {"$ff", true},
      {"$0", false},        {"0xFFFFFFFF", true}, {"0x100000000", false}, {"2147483647", true},
      {"-2147483648", true}, {"2147483648", false}, {"99999999999", false}, {"", false},
      {"  1  ", true},      {"\"1\"", true},    {"yes", false},       {"true", false},
      {"1.0", false},       {"1 ", true},       {"1a", false},        {"0x", false},
      {"$", false},         {"-", false},       {"x1", false},        {"0xg", false},
      {"1 1", false},       {"--1", false},
  };
  for (const auto& c : kFlags) {
    StartWith(std::string("auto_skan_koncowy=") + c.text + "\r\n",
              std::string("skanuj_cicho=") + c.text + "\r\n");
    EXPECT_EQ(Box("auto_skan_koncowy").Checked(), c.on) << "'" << c.text << "'";
    EXPECT_EQ(Box("skanuj_cicho").Checked(), c.on) << "'" << c.text << "'";
  }
}

TEST_F(Configuration, OnlySkonfigurowanyLoadsEverythingOff) {
  WriteFile(kConfigPath, "[glowna]\r\nskonfigurowany=1\r\n");
  Start();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 0%");
}

TEST_F(Configuration, AnUnconfiguredFileRunsTheFirstRunOverIt) {
  // skonfigurowany is off: every other key is overwritten with the standard settings.
  WriteFile(kConfigPath, "[glowna]\r\nauto_skan_pamieci=1\r\nskonfigurowany=0\r\n");
  WriteFile("C:\\Windows\\list.vlt", "[0]\r\nnumer=0\r\nnazwa=Kept\r\nwartosc=C:\\old.exe\r\n[1]\r\nwartosc=C:\\b.exe\r\n");
  Start();
  EXPECT_EQ(backend.BoxTexts().size(), 4u);
  EXPECT_FALSE(Box("auto_skan_pamieci").Checked());
  EXPECT_EQ(ReadFile(kConfigPath),
            "[glowna]\r\nauto_skan_pamieci=0\r\nskonfigurowany=1\r\nauto_start=1\r\nauto_skan_rejestru=1\r\n"
            "auto_skan_koncowy=0\r\nauto_skan_zywy=0\r\nauto_skan_co_godzine=0\r\n"
            "[skan]\r\nskanuj_rejestr=1\r\nskanuj_pamiec=0\r\nskanuj_cicho=0\r\nskanuj_usun_cicho=0\r\n");
  // What another user allowed stays; the program's own value takes the
  // lowest free slot.
  EXPECT_EQ(ReadFile("C:\\Windows\\list.vlt"),
            "[0]\r\nnumer=0\r\nnazwa=Kept\r\nwartosc=C:\\old.exe\r\n[1]\r\nwartosc=C:\\b.exe\r\n"
            "[2]\r\nnumer=2\r\nsekcja=HKLM_run\r\nwartosc=\"\"C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe\"\"\r\n");
}

TEST_F(Configuration, TickingBoxesWithTheMouse) {
  StartWith("");
  ASSERT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 0%");

  ASSERT_TRUE(backend.Click(Box("auto_start")));
  backend.RunUntilIdle();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Make sure you save changes."));
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Information);
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 30%");
  // Not saved, and the registration waits for the next start.
  EXPECT_EQ(ReadFile(kConfigPath), "[glowna]\r\nskonfigurowany=1\r\n[skan]\r\n");
  EXPECT_EQ(AutoRunValue(), std::nullopt);

  backend.ClearBoxes();
  for (tk::CheckBox* box : {&Box("auto_skan_rejestru"), &Box("auto_skan_pamieci"), &Box("auto_skan_koncowy")})
    ASSERT_TRUE(backend.Click(*box));
  backend.RunUntilIdle();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 100%");
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());

  ASSERT_TRUE(backend.Click(Box("auto_skan_zywy")));
  ASSERT_TRUE(backend.Click(Box("auto_skan_co_godzine")));
  backend.RunUntilIdle();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Save settings and restart program to apply changes."));
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 100%");
  EXPECT_TRUE(Box("auto_skan_zywy").Checked());
  EXPECT_TRUE(Box("auto_skan_co_godzine").Checked());

  backend.ClearBoxes();
  ASSERT_TRUE(backend.Click(Box("auto_start")));
  backend.RunUntilIdle();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Make sure you save changes."));
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 70%");
}

TEST_F(Configuration, KeyboardChangesShowAtTheNextLevelUpdate) {
  StartWith("");
  ASSERT_TRUE(backend.PressSpace(Box("auto_skan_pamieci")));
  backend.RunUntilIdle();
  EXPECT_TRUE(Box("auto_skan_pamieci").Checked());
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 0%");
  EXPECT_THAT(backend.BoxTexts(), ElementsAre());
  ASSERT_TRUE(backend.Click(Box("auto_skan_koncowy")));
  backend.RunUntilIdle();
  EXPECT_EQ(Find<components::TProPanel>("status").Caption(), "System Protection: 45%");
}

TEST_F(Configuration, BothSaveButtonsSaveEverything) {
  for (bool on_scan_page : {false, true}) {
    StartWith("");
    Tick("auto_skan_pamieci", true);
    Tick("auto_skan_co_godzine", true);
    Tick("skanuj_pamiec", true);
    Tick("skanuj_cicho", true);
    if (on_scan_page) Find<tk::PageBook>("silnik").ShowPage(Find<tk::Page>("skan"));
    ASSERT_TRUE(backend.Click(on_scan_page ? Button("Button13") : Button("Button7")));
    backend.RunUntilIdle();
    EXPECT_THAT(backend.BoxTexts(), ElementsAre("Configuration saved."));
    EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Plain);
    EXPECT_EQ(ReadFile(kConfigPath),
              "[glowna]\r\nskonfigurowany=1\r\nauto_start=0\r\nauto_skan_rejestru=0\r\nauto_skan_pamieci=1\r\n"
              "auto_skan_koncowy=0\r\nauto_skan_zywy=0\r\nauto_skan_co_godzine=1\r\n"
              "[skan]\r\nskanuj_rejestr=0\r\nskanuj_pamiec=1\r\nskanuj_cicho=1\r\nskanuj_usun_cicho=0\r\n");
  }
}

TEST_F(Configuration, SavingLeavesTheRegistrationUntilTheNextStart) {
  StartWith("auto_start=1\r\n");
  ASSERT_EQ(AutoRunValue(), kQuotedExePath);
  Tick("auto_start", false);
  ASSERT_TRUE(backend.Click(Button("Button7")));
  backend.RunUntilIdle();
  EXPECT_EQ(AutoRunValue(), kQuotedExePath);
  Restart();
  EXPECT_EQ(AutoRunValue(), std::nullopt);
}

TEST_F(Configuration, ASaveThatCannotWriteStopsAtTheFirstKey) {
  StartWith("auto_start=1\r\n");
  sys.files.SetReadOnly(kConfigPath);
  Tick("auto_start", false);
  ASSERT_TRUE(backend.Click(Button("Button7")));
  backend.RunUntilIdle();
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Error);
  EXPECT_EQ(backend.Boxes()[0].text, "Unable to write to C:\\Windows\\tester_config.vlt");
  EXPECT_EQ(ReadFile(kConfigPath), "[glowna]\r\nskonfigurowany=1\r\nauto_start=1\r\n[skan]\r\n");
}

}  // namespace
}  // namespace scenario
