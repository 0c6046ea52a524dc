// Windows names compared as Windows compares ASCII: only the letters fold.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/text.h"

namespace platform {
namespace {

TEST(Text, OnlyAsciiLettersFold) {
  struct Case {
    std::string a, b;
    bool same;
  } cases[] = {
      {"Explorer.EXE", "explorer.exe", true},
      {"", "", true},
      {"a", "", false},
      {"abc", "abd", false},
      {"@[\\]^", "`{|}~", false},             // 0x20 apart, but not letters
      {"\xc5\xbb", "\xc5\xbc", false},         // a Polish letter in UTF-8 keeps its case
      {"\xc0", "\xe0", false},                 // and so does one of a code page
      {std::string("a\0b", 3), std::string("A\0B", 3), true},
      {std::string("a\0b", 3), "a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SameAsciiCaseless(c.a, c.b), c.same) << c.a << " / " << c.b;
    EXPECT_EQ(SameAsciiCaseless(c.b, c.a), c.same) << c.b << " / " << c.a;
  }
  EXPECT_TRUE(StartsAsciiCaseless("HTTPS://site", "https://"));
  EXPECT_FALSE(StartsAsciiCaseless("http:", "http://"));
  EXPECT_TRUE(StartsAsciiCaseless("x", ""));
}

TEST(Text, BelowGivesTheRestAfterTheFolder) {
  struct Case {
    const char* path;
    const char* folder;
    std::optional<std::string> rest;
  } cases[] = {
      {"C:\\Windows\\System32\\cmd.exe", "C:\\Windows", "System32\\cmd.exe"},
      {"c:\\windows\\explorer.exe", "C:\\WINDOWS", "explorer.exe"},
      {"C:\\Windows\\explorer.exe", "C:\\Windows\\", "explorer.exe"},  // a trailing backslash does not matter
      {"C:\\Windows\\explorer.exe", "C:\\Windows\\\\", "explorer.exe"},
      {"C:\\Windows2\\evil.exe", "C:\\Windows", std::nullopt},         // a namesake beside it
      {"C:\\Windows", "C:\\Windows", std::nullopt},                    // the folder itself
      {"C:\\Windows\\", "C:\\Windows", std::nullopt},
      {"C:\\x.exe", "", std::nullopt},
      {"C:\\x.exe", "\\", std::nullopt},
      {"D:\\Windows\\x.exe", "C:\\Windows", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<std::string_view> rest = Below(c.path, c.folder);
    EXPECT_EQ(rest ? std::optional<std::string>(*rest) : std::nullopt, c.rest) << c.path << " in " << c.folder;
  }
}

}  // namespace
}  // namespace platform
