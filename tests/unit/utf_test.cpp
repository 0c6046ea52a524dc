// The UTF-8 <-> UTF-16 boundary: exact both ways, and no guessing at bytes
// that are not UTF-8.
#include <gtest/gtest.h>

#include "platform/utf.h"

namespace platform {
namespace {

TEST(Utf, Utf16RoundTripsExactlyEvenWhenIllFormed) {
  const std::u16string cases[] = {
      u"",
      u"C:\\evil.exe",
      u"\u041A\u043B\u044E\u0447",            // Cyrillic
      u"\u03A3\u03CD\u03C3\u03C4\u03B7\u03BC\u03B1",  // Greek
      u"\u81EA\u52A8\u542F\u52A8",            // CJK
      u"\U0001F600 smile",                   // outside the basic plane
      std::u16string(1, char16_t(0xD800)),   // lone high surrogate
      std::u16string(1, char16_t(0xDFFF)),   // lone low surrogate
      u"a" + std::u16string{char16_t(0xDC00), char16_t(0xD800)},  // low then high: two lone ones
      std::u16string(u"x\0y", 3),
  };
  for (const auto& s : cases) {
    std::string utf8 = Utf8(s);
    EXPECT_TRUE(IsUtf8(utf8));
    auto back = Utf16Exact(utf8);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, s);
  }
}

TEST(Utf, BytesThatAreNotUtf8HaveNoExactWideForm) {
  const std::string bad[] = {
      "\xCA\xEB\xFE\xF7",      // "Ключ" in code page 1251
      "caf\xE9",               // code page 1252
      "\xC0\xAF",              // overlong "/"
      "\xE0\x80\xAF",          // overlong, three bytes
      "\xF4\x90\x80\x80",      // beyond U+10FFFF
      "\xE2\x82",              // cut short
      "\x80",                  // continuation without a lead
      "\xFF",
  };
  for (const std::string& s : bad) {
    EXPECT_FALSE(IsUtf8(s)) << s;
    EXPECT_FALSE(Utf16Exact(s).has_value()) << s;
    // Shown, each stray byte is a replacement character, never a look-alike.
    EXPECT_NE(Utf16(s).find(u'\uFFFD'), std::u16string::npos) << s;
  }
  EXPECT_EQ(Utf16("caf\xE9!"), u"caf\uFFFD!");
}

// Long runs of ASCII are taken in blocks: what follows a run, at any
// offset from a block's start, is still converted and counted exactly.
TEST(Utf, TextAfterLongAsciiRuns) {
  for (size_t run = 0; run <= 17; ++run) {
    const std::u16string wide = std::u16string(run, u'a') + u"\u00E9\U0001F600" + std::u16string(run, u'b');
    const std::string utf8 = std::string(run, 'a') + "\xC3\xA9\xF0\x9F\x98\x80" + std::string(run, 'b');
    EXPECT_EQ(Utf8(wide), utf8) << run;
    EXPECT_EQ(Utf16Units(utf8), wide.size()) << run;
    EXPECT_EQ(Utf16Units(std::string(run, 'a') + "\xFF" + std::string(run, 'b')), 2 * run + 1) << run;
  }
}

TEST(Utf, CutToUtf16UnitsNeverSplitsACharacter) {
  struct Case {
    std::string text;
    size_t units;
    std::string kept;
  } cases[] = {
      {"abc", 2, "ab"},
      {"abc", 5, "abc"},
      {"", 3, ""},
      {"\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87", 3, "\xD0\x9A\xD0\xBB\xD1\x8E"},   // Cyrillic: one unit each
      {"a\xF0\x9F\x98\x80" "b", 2, "a"},                                      // a pair is never split
      {"a\xF0\x9F\x98\x80" "b", 3, "a\xF0\x9F\x98\x80"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", 1, "\xE6\x97\xA5"},                        // CJK
      {"x\xFFy", 2, "x\xFF"},                                                 // a broken byte is one
      {"\xC3" "ab", 2, "\xC3" "a"},  // so is a lead byte without its follower
  };
  for (const Case& c : cases) EXPECT_EQ(CutToUtf16Units(c.text, c.units), c.kept) << c.text << " " << c.units;
}

TEST(Utf, KnownEncodings) {
  EXPECT_EQ(Utf8(u"\u041A\u043B\u044E\u0447"), "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87");
  EXPECT_EQ(Utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8(std::u16string(1, char16_t(0xD800))), "\xED\xA0\x80");
}

}  // namespace
}  // namespace platform
