// Plain value types shared by the toolkit's model and its backends.
#pragma once
#include <cstdint>
#include <string>

namespace tk {

// 0x00RRGGBB. kDefaultColor means "whatever the parent or the system uses".
using Color = uint32_t;
constexpr Color kDefaultColor = 0xFF000000u;
constexpr Color Rgb(uint8_t r, uint8_t g, uint8_t b) { return (Color(r) << 16) | (Color(g) << 8) | b; }
constexpr uint8_t RedOf(Color c) { return uint8_t(c >> 16); }
constexpr uint8_t GreenOf(Color c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueOf(Color c) { return uint8_t(c); }

// System colours that painting code may ask the canvas for.
enum class SysColor { ButtonFace, ButtonShadow, ButtonHighlight, ButtonText, Light3D, WindowText, Window };

struct Font {
  // May list stand-ins for a face that a system lacks: "Verdana, DejaVu Sans".
  std::string face = "Verdana";
  int size = 8;  // points
  bool bold = false;
  Color color = kDefaultColor;
  bool operator==(const Font&) const = default;
};

enum class Align { Left, Center, Right };

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

enum class MouseButton { Left, Right, Middle };

// Numbered like the Win32 dialog results (IDOK, IDCANCEL, ...).
enum class ModalResult : int { None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class MsgKind { Information, Warning, Error, Confirmation, Plain };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

}  // namespace tk
