// The caption panel's painting, recorded on a fake canvas: what is filled,
// which lines of which colours frame it, and where the caption goes.
#include "components/propanel.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>
#include "toolkit/headless/headless_backend.h"

using namespace components;

namespace {

// System colours as distinct values so the test can tell them apart.
constexpr tk::Color kFace = 0x0000F0, kShadow = 0x0000F1, kHighlight = 0x0000F2, kBtnText = 0x0000F3,
                    kLight = 0x0000F4;

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
    switch (c) {
      case tk::SysColor::ButtonFace: return kFace;
      case tk::SysColor::ButtonShadow: return kShadow;
      case tk::SysColor::ButtonHighlight: return kHighlight;
      case tk::SysColor::ButtonText: return kBtnText;
      case tk::SysColor::Light3D: return kLight;
      default: return 0;
    }
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
    panel.SetBevelOuter(bvNone);
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
    TVerticalAlignment va;
    tk::Align align;
    int height;
    tk::Rect expected;
    unsigned align_flag;
  };
  const Case cases[] = {
      {"centred, room to spare", vaCenter, taCenter, 60, {0, 10, 300, 49}, tk::kDtCenter},
      {"bottom", vaBottom, taRightJustify, 60, {0, 21, 300, 60}, tk::kDtRight},
      // Taller than the panel: the block moves up by half the shortfall
      // (rounded toward zero) and overflows both edges.
      {"centred, too tall", vaCenter, taCenter, 20, {0, -9, 300, 30}, tk::kDtCenter},
      {"bottom, too tall", vaBottom, taLeftJustify, 20, {0, -19, 300, 20}, tk::kDtLeft},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TProPanel p{nullptr, "p"};
    p.SetBevelOuter(bvNone);
    p.SetBounds(0, 0, 300, c.height);
    p.SetCaption(long_caption);
    p.SetVerticalAlignment(c.va);
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

TEST_F(ProPanelPaint, TopAlignedCaptionIsDrawnUnmeasuredIntoTheWholeArea) {
  panel.SetBounds(0, 0, 177, 40);
  panel.SetCaption("Help");
  panel.SetVerticalAlignment(vaTop);
  panel.Paint(canvas);
  EXPECT_TRUE(canvas.measures.empty());
  ASSERT_EQ(canvas.draws.size(), 1u);
  EXPECT_EQ(canvas.draws[0].rect, (tk::Rect{0, 0, 177, 40}));
  EXPECT_EQ(canvas.draws[0].flags, kDrawFlags | tk::kDtCenter);
}

TEST_F(ProPanelPaint, BevelsAndBorderFrameTheAreaPassByPass) {
  using L = RecordingCanvas::LineCall;
  panel.SetBounds(0, 0, 20, 10);
  panel.SetBevelOuter(bvRaised);
  panel.SetBorderWidth(1);
  panel.SetBorderColor(tk::Rgb(1, 2, 3));
  panel.SetBevelInner(bvLowered);
  panel.Paint(canvas);
  const tk::Color b = tk::Rgb(1, 2, 3);
  const std::vector<L> expected = {
      // Raised outer bevel: highlight top-left, shadow bottom-right; the
      // right and bottom lines one pixel inside the edges.
      {0, 0, 0, 10, kHighlight}, {0, 0, 20, 0, kHighlight}, {19, 0, 19, 10, kShadow}, {0, 9, 20, 9, kShadow},
      // Border, one pixel further in.
      {1, 1, 1, 9, b}, {1, 1, 19, 1, b}, {18, 1, 18, 9, b}, {1, 8, 19, 8, b},
      // Lowered inner bevel: in the outer colours of its kind.
      {2, 2, 2, 8, kShadow}, {2, 2, 18, 2, kShadow}, {17, 2, 17, 8, kHighlight}, {2, 7, 18, 7, kHighlight},
  };
  EXPECT_EQ(canvas.lines, expected);
  ASSERT_EQ(canvas.fills.size(), 1u);
  EXPECT_EQ(canvas.fills[0].first, (tk::Rect{3, 3, 17, 7}));
  ASSERT_EQ(canvas.draws.size(), 1u);
  EXPECT_EQ(canvas.draws[0].rect.left, 3);
  EXPECT_EQ(canvas.draws[0].rect.right, 17);
}

TEST_F(ProPanelPaint, WideBevelAndBorderOfDefaultColourTakeOnePassPerPixel) {
  panel.SetBounds(0, 0, 30, 30);
  panel.SetBevelOuter(bvLowered);
  panel.SetBevelWidth(2);
  panel.SetBorderWidth(2);
  panel.Paint(canvas);
  ASSERT_EQ(canvas.lines.size(), 16u);
  // Second pass of the bevel, then the border in the button face.
  EXPECT_EQ(canvas.lines[4], (RecordingCanvas::LineCall{1, 1, 1, 29, kShadow}));
  EXPECT_EQ(canvas.lines[8], (RecordingCanvas::LineCall{2, 2, 2, 28, kFace}));
  EXPECT_EQ(canvas.fills[0].first, (tk::Rect{4, 4, 26, 26}));
}

TEST_F(ProPanelPaint, Ctl3DBevelsAreTwoOnePixelFramesWithTheDarkerEdge) {
  using L = RecordingCanvas::LineCall;
  panel.SetBounds(0, 0, 10, 10);
  panel.SetBevelOuter(bvRaised);
  panel.SetBevelCtl3D(true);
  EXPECT_EQ(panel.BevelWidth(), 2);
  panel.Paint(canvas);
  const std::vector<L> expected = {
      {0, 0, 0, 10, kHighlight}, {0, 0, 10, 0, kHighlight}, {9, 0, 9, 10, kBtnText}, {0, 9, 10, 9, kBtnText},
      {1, 1, 1, 9, kLight},      {1, 1, 9, 1, kLight},      {8, 1, 8, 9, kShadow},   {1, 8, 9, 8, kShadow},
  };
  EXPECT_EQ(canvas.lines, expected);
  EXPECT_EQ(canvas.fills[0].first, (tk::Rect{2, 2, 8, 8}));

  RecordingCanvas lowered;
  panel.SetBevelOuter(bvLowered);
  panel.Paint(lowered);
  EXPECT_EQ(lowered.lines[0].color, kShadow);
  EXPECT_EQ(lowered.lines[2].color, kHighlight);
  EXPECT_EQ(lowered.lines[4].color, kBtnText);
  EXPECT_EQ(lowered.lines[6].color, kLight);

  panel.SetBevelCtl3D(false);
  EXPECT_EQ(panel.BevelWidth(), 1);
}

TEST_F(ProPanelPaint, SideLeftOutHasNoFrameAndKeepsTheCaptionAreaWiderThere) {
  panel.SetBounds(0, 0, 40, 20);
  panel.SetBevelOuter(bvRaised);
  panel.SetBevelWidth(2);
  panel.SetBorderWidth(1);
  panel.SetBevelSides(sdTop | sdRight | sdBottom);
  panel.Paint(canvas);
  for (const auto& l : canvas.lines) EXPECT_FALSE(l.x1 == 0 && l.x2 == 0) << "a line on the left edge";
  // Three passes, three sides each.
  EXPECT_EQ(canvas.lines.size(), 9u);
  EXPECT_EQ(canvas.fills[0].first, (tk::Rect{0, 3, 37, 17}));
  ASSERT_EQ(canvas.measures.size(), 1u);
  EXPECT_EQ(canvas.measures[0].rect.left, 0);
  EXPECT_EQ(canvas.measures[0].rect.right, 37);
}

TEST_F(ProPanelPaint, ColourComesFromTheParentWhenThePanelHasNone) {
  tk::Panel parent{nullptr, "parent"};
  parent.SetColor(tk::Rgb(0x58, 0x85, 0xC7));
  TProPanel child{&parent, "child"};
  child.SetBevelOuter(bvNone);
  child.SetBounds(0, 0, 10, 10);
  child.Paint(canvas);
  EXPECT_EQ(canvas.fills[0].second, tk::Rgb(0x58, 0x85, 0xC7));

  TProPanel orphan{nullptr, "orphan"};
  RecordingCanvas rc;
  orphan.Paint(rc);
  EXPECT_EQ(rc.fills[0].second, kFace);
}

TEST(TProPanelProperties, SettersRepaintOnlyOnChange) {
  struct CountingPeer : tk::ControlPeer {
    int* repaints;
    explicit CountingPeer(int* r) : repaints(r) {}
    void Update(tk::Prop p) override { *repaints += p == tk::Prop::Repaint; }
  };
  TProPanel p{nullptr, "p"};
  int repaints = 0;
  tk::headless::HeadlessBackend::AttachPeer(p, std::make_unique<CountingPeer>(&repaints));
  // Defaults first: setting them again repaints nothing.
  p.SetBevelOuter(bvRaised);
  p.SetBevelInner(bvNone);
  p.SetBevelWidth(1);
  p.SetBorderWidth(0);
  p.SetBevelCtl3D(false);
  p.SetBevelSides(kAllSides);
  p.SetBorderColor(tk::kDefaultColor);
  p.SetVerticalAlignment(vaCenter);
  EXPECT_EQ(repaints, 0);
  p.SetBevelSides(sdLeft);
  p.SetBorderColor(tk::Rgb(1, 1, 1));
  p.SetVerticalAlignment(vaBottom);
  p.SetBevelCtl3D(true);
  EXPECT_EQ(repaints, 4);
  p.SetBevelSides(sdLeft);
  EXPECT_EQ(repaints, 4);
  tk::headless::HeadlessBackend::AttachPeer(p, nullptr);
}
