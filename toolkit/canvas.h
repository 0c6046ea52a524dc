// What custom-painted controls draw on. The win32 backend wraps a device
// context; tests use a recording canvas.
#pragma once
#include <string>
#include "toolkit/types.h"

namespace tk {

// Flag values are those of the Win32 DrawText call.
enum DrawTextFlags : unsigned {
  kDtLeft = 0x0, kDtCenter = 0x1, kDtRight = 0x2, kDtVCenter = 0x4, kDtBottom = 0x8,
  kDtWordBreak = 0x10, kDtSingleLine = 0x20, kDtExpandTabs = 0x40, kDtNoPrefix = 0x800,
  kDtCalcRect = 0x400,
};

class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual Color SystemColor(SysColor c) const = 0;
  virtual void FillRect(const Rect& r, Color c) = 0;
  // A one-pixel line from (x1,y1) up to but not including (x2,y2).
  virtual void Line(int x1, int y1, int x2, int y2, Color c) = 0;
  virtual void SetFont(const Font& f) = 0;
  // Transparent text. With kDtCalcRect nothing is drawn and r is set to the
  // text's extent. Returns the text height.
  virtual int DrawText(const std::string& text, Rect& r, unsigned flags) = 0;
};

}  // namespace tk
