#include "toolkit/win32/gdi_canvas.h"

#include <map>

#include "platform/win32/wide.h"
#include "platform/win32/win32_handles.h"

namespace tk::win32 {

using platform::win32::BitmapHandle;
using platform::win32::DcHandle;
using platform::win32::FontHandle;
using platform::win32::PenHandle;
using platform::win32::ScreenDc;
using platform::win32::Wide;

COLORREF ToColorRef(Color c) { return RGB(RedOf(c), GreenOf(c), BlueOf(c)); }

Color FromColorRef(COLORREF c) { return Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

COLORREF ResolveColor(Color c, int sys_color_index) {
  return c == kDefaultColor ? GetSysColor(sys_color_index) : ToColorRef(c);
}

namespace {

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const std::string& face) {
  // Asked once per face: enumerating fonts is slow, and faces do not come
  // and go while the program runs.
  static std::map<std::string, bool> known;
  if (auto it = known.find(face); it != known.end()) return it->second;
  std::wstring wface = Wide(face);
  if (wface.empty() || wface.size() >= LF_FACESIZE) return false;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  wface.copy(lf.lfFaceName, wface.size());
  bool found = false;
  const ScreenDc screen(GetDC(nullptr));
  EnumFontFamiliesExW(screen.get(), &lf, NoteFamily, LPARAM(&found), 0);
  return known[face] = found;
}

int PixelHeight(int points) {
  const ScreenDc screen(GetDC(nullptr));
  return -MulDiv(points, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
}

FontHandle MakeFont(const std::string& face, int height, bool bold) {
  // A face name longer than LOGFONT holds would make CreateFont fail.
  std::wstring name = Wide(face).substr(0, LF_FACESIZE - 1);
  return FontHandle(CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                name.c_str()));
}

constexpr int kSampleWidth = 256, kSampleHeight = 128;

// Pixels a sample covers in a face and weight, drawn black on white into a
// one-bit bitmap whose rows are then read back in one call.
int InkOf(const std::string& face, int height, bool bold) {
  const DcHandle owned_dc(CreateCompatibleDC(nullptr));
  const BitmapHandle bitmap(CreateBitmap(kSampleWidth, kSampleHeight, 1, 1, nullptr));
  const FontHandle font = MakeFont(face, height, bold);
  const HDC dc = owned_dc.get();
  int ink = 0;
  if (dc && bitmap && font) {
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap.get());
    HGDIOBJ old_font = SelectObject(dc, font.get());
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    PatBlt(dc, 0, 0, kSampleWidth, kSampleHeight, WHITENESS);
    TextOutW(dc, 0, 0, L"WMHBag", 6);
    SelectObject(dc, old_font);
    SelectObject(dc, old_bitmap);  // a bitmap is read back while no DC holds it
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[2];
    } info{};
    info.header = {sizeof(BITMAPINFOHEADER), kSampleWidth, kSampleHeight, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
    std::string bits(kSampleWidth / 8 * kSampleHeight, '\0');
    if (GetDIBits(dc, bitmap.get(), 0, kSampleHeight, bits.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
      // Which bit value is white, as the colour table says.
      const bool white_is_one = info.colors[1].rgbRed == 255;
      for (unsigned char byte : bits) {
        const int ones = __builtin_popcount(byte);
        ink += white_is_one ? 8 - ones : ones;
      }
    }
  }
  return ink;
}

// Some faces report bold but draw the regular glyphs at some sizes (Wine's
// own Tahoma from 13 pixels up); a list of faces then moves on.
bool BoldShows(const std::string& face, int height) { return InkOf(face, height, true) > InkOf(face, height, false); }

std::string Trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

std::string FaceFor(const Font& font) {
  const std::string& faces = font.face;
  if (faces.find(',') == std::string::npos) return faces;
  std::string first;
  for (size_t start = 0; start <= faces.size();) {
    size_t end = faces.find(',', start);
    if (end == std::string::npos) end = faces.size();
    std::string face = Trimmed(faces.substr(start, end - start));
    if (first.empty()) first = face;
    if (FaceInstalled(face) && (!font.bold || BoldShows(face, PixelHeight(font.size)))) return face;
    start = end + 1;
  }
  return first;
}

HFONT GdiObjects::FontFor(const Font& font) {
  auto key = std::make_tuple(font.face, font.size, font.bold);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second.get();
  FontHandle made = MakeFont(FaceFor(font), PixelHeight(font.size), font.bold);
  if (!made) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  return fonts_.emplace(key, std::move(made)).first->second.get();
}

HBRUSH GdiObjects::BrushFor(COLORREF color) {
  auto it = brushes_.find(color);
  if (it != brushes_.end()) return it->second.get();
  platform::win32::BrushHandle brush(CreateSolidBrush(color));
  if (!brush) return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  return brushes_.emplace(color, std::move(brush)).first->second.get();
}

GdiCanvas::GdiCanvas(HDC dc, GdiObjects& gdi)
    : dc_(dc),
      gdi_(gdi),
      old_font_(GetCurrentObject(dc, OBJ_FONT)),
      old_bk_mode_(GetBkMode(dc)),
      old_text_color_(GetTextColor(dc)) {
  SetBkMode(dc_, TRANSPARENT);
  SetFont(font_);
}

GdiCanvas::~GdiCanvas() {
  SelectObject(dc_, old_font_);
  SetBkMode(dc_, old_bk_mode_);
  SetTextColor(dc_, old_text_color_);
}

Color GdiCanvas::SystemColor(SysColor c) const {
  int index = COLOR_BTNFACE;
  switch (c) {
    case SysColor::ButtonFace: index = COLOR_BTNFACE; break;
    case SysColor::ButtonShadow: index = COLOR_BTNSHADOW; break;
    case SysColor::ButtonHighlight: index = COLOR_BTNHIGHLIGHT; break;
    case SysColor::ButtonText: index = COLOR_BTNTEXT; break;
    case SysColor::Light3D: index = COLOR_3DLIGHT; break;
    case SysColor::WindowText: index = COLOR_WINDOWTEXT; break;
    case SysColor::Window: index = COLOR_WINDOW; break;
  }
  return FromColorRef(GetSysColor(index));
}

void GdiCanvas::FillRect(const Rect& r, Color c) {
  RECT rc{r.left, r.top, r.right, r.bottom};
  ::FillRect(dc_, &rc, gdi_.BrushFor(ResolveColor(c, COLOR_BTNFACE)));
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2, Color c) {
  const PenHandle pen(CreatePen(PS_SOLID, 1, ResolveColor(c, COLOR_WINDOWTEXT)));
  HGDIOBJ old = SelectObject(dc_, pen.get());
  MoveToEx(dc_, x1, y1, nullptr);
  LineTo(dc_, x2, y2);
  SelectObject(dc_, old);
}

void GdiCanvas::SetFont(const Font& f) {
  font_ = f;
  SelectObject(dc_, gdi_.FontFor(f));
  SetTextColor(dc_, ResolveColor(f.color, COLOR_BTNTEXT));
}

int GdiCanvas::DrawText(const std::string& text, Rect& r, unsigned flags) {
  RECT rc{r.left, r.top, r.right, r.bottom};
  std::wstring wtext = Wide(text);
  int height = ::DrawTextW(dc_, wtext.c_str(), int(wtext.size()), &rc, flags);
  if (flags & kDtCalcRect) r = Rect{rc.left, rc.top, rc.right, rc.bottom};
  return height;
}

}  // namespace tk::win32
