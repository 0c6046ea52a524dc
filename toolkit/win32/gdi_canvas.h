// GDI objects shared by every window of the backend, and the canvas that
// custom-painted controls draw on.
#pragma once
#include "toolkit/win32/win32_backend.h"

#include <map>
#include <tuple>
#include "toolkit/canvas.h"

namespace tk::win32 {

COLORREF ToColorRef(Color c);
Color FromColorRef(COLORREF c);
// kDefaultColor stands for the given system colour.
COLORREF ResolveColor(Color c, int sys_color_index);

// The face a font's face list ("Verdana, DejaVu Sans") stands for here: the
// first one installed that shows the weight asked for, else the first of
// the list (the system then picks its own).
std::string FaceFor(const Font& font);

// Fonts and brushes, made once per value and kept until the backend goes.
class GdiObjects {
 public:
  GdiObjects() = default;
  GdiObjects(const GdiObjects&) = delete;
  GdiObjects& operator=(const GdiObjects&) = delete;
  // Face, point size and weight make the font; its colour is the DC's text colour.
  HFONT FontFor(const Font& font);
  HBRUSH BrushFor(COLORREF color);

 private:
  std::map<std::tuple<std::string, int, bool>, platform::win32::FontHandle> fonts_;
  std::map<COLORREF, platform::win32::BrushHandle> brushes_;
};

// Draws on a device context the caller owns; leaves it as it found it.
class GdiCanvas : public Canvas {
 public:
  GdiCanvas(HDC dc, GdiObjects& gdi);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  Color SystemColor(SysColor c) const override;
  void FillRect(const Rect& r, Color c) override;
  void Line(int x1, int y1, int x2, int y2, Color c) override;
  void SetFont(const Font& f) override;
  int DrawText(const std::string& text, Rect& r, unsigned flags) override;

 private:
  HDC dc_;
  GdiObjects& gdi_;
  HGDIOBJ old_font_;
  int old_bk_mode_;
  COLORREF old_text_color_;
  Font font_;
};

}  // namespace tk::win32
