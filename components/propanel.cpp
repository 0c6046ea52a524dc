#include "components/propanel.h"

namespace components {

namespace {

unsigned AlignFlag(tk::Align a) {
  switch (a) {
    case tk::Align::Left: return tk::kDtLeft;
    case tk::Align::Right: return tk::kDtRight;
    case tk::Align::Center: break;
  }
  return tk::kDtCenter;
}

}  // namespace

void TProPanel::Paint(tk::Canvas& canvas) {
  tk::Rect r{0, 0, Width(), Height()};
  tk::Color fill = BackColor();
  for (tk::Control* c = Parent(); fill == tk::kDefaultColor && c; c = c->Parent()) fill = c->BackColor();
  canvas.FillRect(r, fill == tk::kDefaultColor ? canvas.SystemColor(tk::SysColor::ButtonFace) : fill);
  canvas.SetFont(EffectiveFont());

  const unsigned align = AlignFlag(Alignment());
  // Measured on a copy: measuring narrows the rectangle to the widest line.
  tk::Rect measure = r;
  int h = canvas.DrawText(Caption(), measure, tk::kDtCalcRect | tk::kDtWordBreak | tk::kDtExpandTabs | align);
  // Negative when the text is taller than the panel: it then overflows
  // both edges.
  int shift = (r.bottom - r.top - h) / 2;
  r.top += shift;
  r.bottom = r.top + h;
  canvas.DrawText(Caption(), r, tk::kDtWordBreak | tk::kDtExpandTabs | align);
}

}  // namespace components
