// The caption panel's painting, recorded on a fake canvas: what is filled,
// that nothing frames it, and where the caption goes.
#include "components/propanel.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>
#include "tests/doubles/headless/headless_backend.h"

using namespace components;

namespace {

// The button face as a value the test can tell apart.
constexpr tk::Color kFace = 0x0000F0;

// Records every call; lays text out in 6-pixel characters and 13-pixel
// lines, breaking at blanks like DrawText's word break.
class RecordingCanvas : public tk::Canvas {
 public:
  static constexpr int kCharWidth = 6, kLineHeight = 13;

  struct LineCall {
    int x1, y1, x2, y2;
    tk::Color color;
    bool operator==(const LineCall&) const = default;
  };
  struct TextCall {
    std::string text;
    tk::Rect rect;
    unsigned flags;
  };

  tk::Color SystemColor(tk::SysColor c) const override {
    return c == tk::SysColor::ButtonFace ? kFace : 0;
  }
  void FillRect(const tk::Rect& r, tk::Color c) override { fills.push_back({r, c}); }
  void Line(int x1, int y1, int x2, int y2, tk::Color c) override { lines.push_back({x1, y1, x2, y2, c}); }
  void SetFont(const tk::Font& f) override { font = f; }
  int DrawText(const std::string& text, tk::Rect& r, unsigned flags) override {
    int h = LinesOf(text, r.Width()) * kLineHeight;
    if (flags & tk::kDtCalcRect) {
      r.bottom = r.top + h;
      measures.push_back({text, r, flags});
    } else {
      draws.push_back({text, r, flags});
    }
    return h;
  }

  static int LinesOf(const std::string& text, int width) {
    std::istringstream words(text);
    std::string word;
    int lines = 0, used = 0;
    while (words >> word) {
      int w = int(word.size()) * kCharWidth;
      if (lines == 0 || used + kCharWidth + w > width) {
        ++lines;
        used = w;
      } else {
        used += kCharWidth + w;
      }
    }
    return lines ? lines : 1;
  }

  std::vector<std::pair<tk::Rect, tk::Color>> fills;
  std::vector<LineCall> lines;
  std::vector<TextCall> measures, draws;
  tk::Font font;
};

constexpr unsigned kDrawFlags = tk::kDtWordBreak | tk::kDtExpandTabs;

struct ProPanelPaint : ::testing::Test {
  TProPanel panel{nullptr, "status"};
  RecordingCanvas canvas;
  void SetUp() override {
    panel.SetColor(tk::Rgb(0x30, 0x56, 0x8F));
  }
};

}  // namespace

TEST_F(ProPanelPaint, PlainPanelPaintsItsColourAndItsCaptionCentredVertically) {
  panel.SetBounds(0, 61, 524, 24);
  panel.SetCaption("System Protection: 55%");
  panel.SetFont(tk::Font{"Tahoma", 10, true, tk::Rgb(0xFC, 0xC7, 0xA7)});
  panel.SetAlignment(taLeftJustify);
  panel.Paint(canvas);

  EXPECT_TRUE(canvas.lines.empty());
  ASSERT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.fills[0].first, (tk::Rect{0, 0, 524, 24}));
  EXPECT_EQ(canvas.fills[0].second, tk::Rgb(0x30, 0x56, 0x8F));
  EXPECT_EQ(canvas.font, (tk::Font{"Tahoma", 10, true, tk::Rgb(0xFC, 0xC7, 0xA7)}));
  ASSERT_EQ(canvas.measures.size(), 1u);
  EXPECT_EQ(canvas.measures[0].flags, tk::kDtCalcRect | kDrawFlags | tk::kDtLeft);
  ASSERT_EQ(canvas.draws.size(), 1u);
  EXPECT_EQ(canvas.draws[0].text, "System Protection: 55%");
  EXPECT_EQ(canvas.draws[0].flags, kDrawFlags | tk::kDtLeft);
  // One 13-pixel line in 24 pixels: (24 - 13) / 2 = 5 from the top.
  EXPECT_EQ(canvas.draws[0].rect, (tk::Rect{0, 5, 524, 18}));
}

TEST_F(ProPanelPaint, CaptionIsPlacedAsOneBlockOfWrappedLines) {
  // 20 words of 5 characters in 300 px: 8 words a line, so three lines
  // (39 px).
  std::string long_caption;
  for (int i = 0; i < 20; ++i) long_caption += (i ? " " : "") + std::string("wordy");
  ASSERT_EQ(RecordingCanvas::LinesOf(long_caption, 300), 3);

  struct Case {
    const char* what;
    tk::Align align;
    int height;
    tk::Rect expected;
    unsigned align_flag;
  };
  const Case cases[] = {
      {"centred, room to spare", tk::Align::Center, 60, {0, 10, 300, 49}, tk::kDtCenter},
      {"right-aligned", tk::Align::Right, 60, {0, 10, 300, 49}, tk::kDtRight},
      // Taller than the panel: the block moves up by half the shortfall
      // (rounded toward zero) and overflows both edges.
      {"centred, too tall", tk::Align::Center, 20, {0, -9, 300, 30}, tk::kDtCenter},
      {"left-aligned, too tall", taLeftJustify, 20, {0, -9, 300, 30}, tk::kDtLeft},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TProPanel p{nullptr, "p"};
    p.SetBounds(0, 0, 300, c.height);
    p.SetCaption(long_caption);
    p.SetAlignment(c.align);
    RecordingCanvas rc;
    p.Paint(rc);
    ASSERT_EQ(rc.measures.size(), 1u);
    // Measured at the panel's full width, not some narrower rectangle.
    EXPECT_EQ(rc.measures[0].rect.Width(), 300);
    ASSERT_EQ(rc.draws.size(), 1u);
    EXPECT_EQ(rc.draws[0].rect, c.expected);
    EXPECT_EQ(rc.draws[0].flags, kDrawFlags | c.align_flag);
  }
}

TEST_F(ProPanelPaint, ColourComesFromTheParentWhenThePanelHasNone) {
  tk::Panel parent{nullptr, "parent"};
  parent.SetColor(tk::Rgb(0x58, 0x85, 0xC7));
  TProPanel child{&parent, "child"};
  child.SetBounds(0, 0, 10, 10);
  child.Paint(canvas);
  EXPECT_EQ(canvas.fills[0].second, tk::Rgb(0x58, 0x85, 0xC7));

  TProPanel orphan{nullptr, "orphan"};
  RecordingCanvas rc;
  orphan.Paint(rc);
  EXPECT_EQ(rc.fills[0].second, kFace);
}
