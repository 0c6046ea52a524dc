// TProPanel: the coloured caption panel of every header bar and status line.
// Fills itself with its colour, optionally frames itself with bevels and a
// border on chosen sides, and draws its caption word-wrapped with horizontal
// and vertical alignment.
//
// The toolkit reports no mouse enter/leave, so the panel has no
// OnMouseEnter/OnMouseLeave; OnMouseMove is the toolkit's own.
#pragma once
#include <string>
#include "toolkit/control.h"

namespace components {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

enum TSide : unsigned { sdLeft = 1, sdTop = 2, sdRight = 4, sdBottom = 8 };
using TSides = unsigned;  // a set of TSide
inline constexpr TSides kAllSides = sdLeft | sdTop | sdRight | sdBottom;

enum TVerticalAlignment { vaTop, vaCenter, vaBottom };

// Horizontal alignment is the toolkit's own Alignment property.
inline constexpr tk::Align taLeftJustify = tk::Align::Left;
inline constexpr tk::Align taCenter = tk::Align::Center;
inline constexpr tk::Align taRightJustify = tk::Align::Right;

class TProCustomPanel : public tk::Panel {
 public:
  TProCustomPanel(tk::Control* parent, std::string name) : tk::Panel(parent, std::move(name)) {}

  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut v);
  TBevelCut BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut v);
  int BevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int v);
  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int v);
  // Two-line bevels with a darker edge; switching it sets BevelWidth to 2
  // (on) or 1 (off).
  bool BevelCtl3D() const { return bevel_ctl3d_; }
  void SetBevelCtl3D(bool v);
  TSides BevelSides() const { return bevel_sides_; }
  void SetBevelSides(TSides v);
  // kDefaultColor: the system's button face.
  tk::Color BorderColor() const { return border_color_; }
  void SetBorderColor(tk::Color v);
  TVerticalAlignment VerticalAlignment() const { return vertical_alignment_; }
  void SetVerticalAlignment(TVerticalAlignment v);

  void Paint(tk::Canvas& canvas) override;

 private:
  // n passes of one-pixel lines on the chosen sides, shrinking r as it goes.
  void Frame(tk::Canvas& canvas, tk::Rect& r, tk::Color top_left, tk::Color bottom_right, int width) const;
  void Bevel(tk::Canvas& canvas, tk::Rect& r, TBevelCut kind) const;

  TBevelCut bevel_outer_ = bvRaised;
  TBevelCut bevel_inner_ = bvNone;
  int bevel_width_ = 1;
  int border_width_ = 0;
  bool bevel_ctl3d_ = false;
  TSides bevel_sides_ = kAllSides;
  tk::Color border_color_ = tk::kDefaultColor;
  TVerticalAlignment vertical_alignment_ = vaCenter;
};

class TProPanel : public TProCustomPanel {
 public:
  using TProCustomPanel::TProCustomPanel;
};

}  // namespace components
