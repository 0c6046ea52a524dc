// Cutting a command line into the alert's path and name rows, and the
// doctor's dequoting rule.
#include <gtest/gtest.h>

#include "registry/autorun.h"
#include "registry/doktorfrm.h"

namespace {

TEST(RegistryCommandLine, SplitsAtTheLastBackslashOrColon) {
  struct Case {
    std::string text, path, name;
  } cases[] = {
      {"C:\\Windows\\app.exe", "C:\\Windows\\", "app.exe"},
      {"\"C:\\Program Files\\A\\a.exe\" /min", "\"C:\\Program Files\\A\\", "a.exe\" /min"},
      {"notepad.exe", "", "notepad.exe"},
      {"C:app.exe", "C:", "app.exe"},
      {"C:\\dir\\", "C:\\dir\\", ""},
      {"rundll32.exe C:\\x.dll,Entry", "rundll32.exe C:\\", "x.dll,Entry"},
      {"http://host/a", "http:", "//host/a"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    registry::CommandParts parts = registry::SplitCommandLine(c.text);
    EXPECT_EQ(parts.path, c.path) << c.text;
    EXPECT_EQ(parts.name, c.name) << c.text;
    EXPECT_EQ(parts.path + parts.name, c.text);
  }
}

TEST(RegistryDequote, TakesOffOnlyQuotesThatWrapABarePath) {
  struct Case {
    const char* what;
    std::string text;
    std::optional<std::string> result;  // nullopt: left as it is
  } cases[] = {
      {"bare quoted path", "\"C:\\App\\app.exe\"", "C:\\App\\app.exe"},
      {"not quoted", "C:\\App\\app.exe", std::nullopt},
      {"quote later only", "C:\\App\\\"app.exe\"", std::nullopt},
      {"doubled mark inside", "\"C:\\A\"\"B\\a.exe\"", "C:\\A\"B\\a.exe"},
      {"two doubled marks", "\"a\"\"\"\"b\"", "a\"\"b"},
      {"doubled mark just before the end", "\"a\"\"\"", "a\""},
      {"only a doubled mark inside", "\"\"\"\"", "\""},
      {"empty inside", "\"\"", std::nullopt},
      {"lone mark", "\"", std::nullopt},
      {"never closed", "\"C:\\App\\app.exe", std::nullopt},
      {"arguments after the quotes", "\"C:\\App\\app.exe\" /x", std::nullopt},
      {"switch after the quotes", "\"C:\\App\\app.exe\" -min", std::nullopt},
      {"text right after the quotes", "\"C:\\App\\app.exe\"x", std::nullopt},
      {"blank inside", "\"C:\\Program Files\\app.exe\"", std::nullopt},
      {"tab inside", "\"C:\\Program\tFiles\\app.exe\"", std::nullopt},
      {"single quotes", "'C:\\App\\app.exe'", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(registry::Dequote(c.text), c.result) << c.what;
}

}  // namespace
