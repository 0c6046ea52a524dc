#include "components/propanel.h"

namespace components {

namespace {

struct BevelColors {
  tk::SysColor outer_top_left, outer_bottom_right, inner_top_left, inner_bottom_right;
};

BevelColors ColorsOf(TBevelCut kind, bool ctl3d) {
  using tk::SysColor;
  switch (kind) {
    case bvLowered:
      return {SysColor::ButtonShadow, SysColor::ButtonHighlight, SysColor::ButtonText, SysColor::Light3D};
    case bvRaised:
      return {SysColor::ButtonHighlight, ctl3d ? SysColor::ButtonText : SysColor::ButtonShadow, SysColor::Light3D,
              SysColor::ButtonShadow};
    case bvSpace:
    case bvNone:
      break;
  }
  // A "space" bevel is a gap of button face around the panel.
  return {SysColor::ButtonFace, SysColor::ButtonFace, SysColor::ButtonFace, SysColor::ButtonFace};
}

unsigned AlignFlag(tk::Align a) {
  switch (a) {
    case tk::Align::Left: return tk::kDtLeft;
    case tk::Align::Right: return tk::kDtRight;
    case tk::Align::Center: break;
  }
  return tk::kDtCenter;
}

}  // namespace

void TProCustomPanel::SetBevelOuter(TBevelCut v) {
  if (v == bevel_outer_) return;
  bevel_outer_ = v;
  Repaint();
}

void TProCustomPanel::SetBevelInner(TBevelCut v) {
  if (v == bevel_inner_) return;
  bevel_inner_ = v;
  Repaint();
}

void TProCustomPanel::SetBevelWidth(int v) {
  if (v < 1) v = 1;
  if (v == bevel_width_) return;
  bevel_width_ = v;
  Repaint();
}

void TProCustomPanel::SetBorderWidth(int v) {
  if (v < 0) v = 0;
  if (v == border_width_) return;
  border_width_ = v;
  Repaint();
}

void TProCustomPanel::SetBevelCtl3D(bool v) {
  if (v == bevel_ctl3d_) return;
  bevel_ctl3d_ = v;
  bevel_width_ = v ? 2 : 1;
  Repaint();
}

void TProCustomPanel::SetBevelSides(TSides v) {
  v &= kAllSides;
  if (v == bevel_sides_) return;
  bevel_sides_ = v;
  Repaint();
}

void TProCustomPanel::SetBorderColor(tk::Color v) {
  if (v == border_color_) return;
  border_color_ = v;
  Repaint();
}

void TProCustomPanel::SetVerticalAlignment(TVerticalAlignment v) {
  if (v == vertical_alignment_) return;
  vertical_alignment_ = v;
  Repaint();
}

void TProCustomPanel::Frame(tk::Canvas& canvas, tk::Rect& r, tk::Color top_left, tk::Color bottom_right,
                            int width) const {
  const TSides s = bevel_sides_;
  for (int pass = 0; pass < width; ++pass) {
    if (s & sdLeft) canvas.Line(r.left, r.top, r.left, r.bottom, top_left);
    if (s & sdTop) canvas.Line(r.left, r.top, r.right, r.top, top_left);
    if (s & sdRight) canvas.Line(r.right - 1, r.top, r.right - 1, r.bottom, bottom_right);
    if (s & sdBottom) canvas.Line(r.left, r.bottom - 1, r.right, r.bottom - 1, bottom_right);
    if (s & sdLeft) ++r.left;
    if (s & sdTop) ++r.top;
    if (s & sdRight) --r.right;
    if (s & sdBottom) --r.bottom;
  }
}

void TProCustomPanel::Bevel(tk::Canvas& canvas, tk::Rect& r, TBevelCut kind) const {
  if (kind == bvNone) return;
  BevelColors c = ColorsOf(kind, bevel_ctl3d_);
  auto sys = [&](tk::SysColor s) { return canvas.SystemColor(s); };
  if (bevel_ctl3d_) {
    Frame(canvas, r, sys(c.outer_top_left), sys(c.outer_bottom_right), 1);
    Frame(canvas, r, sys(c.inner_top_left), sys(c.inner_bottom_right), 1);
  } else {
    Frame(canvas, r, sys(c.outer_top_left), sys(c.outer_bottom_right), bevel_width_);
  }
}

void TProCustomPanel::Paint(tk::Canvas& canvas) {
  tk::Rect r{0, 0, Width(), Height()};
  Bevel(canvas, r, bevel_outer_);
  tk::Color border =
      border_color_ == tk::kDefaultColor ? canvas.SystemColor(tk::SysColor::ButtonFace) : border_color_;
  Frame(canvas, r, border, border, border_width_);
  Bevel(canvas, r, bevel_inner_);

  tk::Color fill = BackColor();
  for (tk::Control* c = Parent(); fill == tk::kDefaultColor && c; c = c->Parent()) fill = c->BackColor();
  canvas.FillRect(r, fill == tk::kDefaultColor ? canvas.SystemColor(tk::SysColor::ButtonFace) : fill);
  canvas.SetFont(EffectiveFont());

  const unsigned align = AlignFlag(Alignment());
  if (vertical_alignment_ != vaTop) {
    // Measured on a copy: measuring narrows the rectangle to the widest line.
    tk::Rect measure = r;
    int h = canvas.DrawText(Caption(), measure, tk::kDtCalcRect | tk::kDtWordBreak | tk::kDtExpandTabs | align);
    // Negative when the text is taller than the panel: it then overflows
    // both edges (or the top one, bottom-aligned).
    int spare = r.bottom - r.top - h;
    int shift = vertical_alignment_ == vaCenter ? spare / 2 : spare;
    r.bottom = r.top + h;
    r.top += shift;
    r.bottom += shift;
  }
  canvas.DrawText(Caption(), r, tk::kDtWordBreak | tk::kDtExpandTabs | align);
}

}  // namespace components
