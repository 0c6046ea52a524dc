// The main window's look: its fonts, colours and the few layout steps that
// every page repeats. Internal to the main window and its pages.
#pragma once
#include <initializer_list>
#include <string>
#include <utility>

#include "components/propanel.h"
#include "toolkit/control.h"

namespace app::look {

using tk::Rgb;

// Verdana and Tahoma come with Windows; Wine has its own Tahoma and finds
// the host's DejaVu Sans. The stencil face comes with Office only: a heavy
// sans stands in, bold like the caption.
constexpr const char* kVerdana = "Verdana, DejaVu Sans, Tahoma";
constexpr const char* kTahoma = "Tahoma, DejaVu Sans";
constexpr const char* kStencil = "Stencil, Arial Black, DejaVu Sans";

inline tk::Font Verdana(tk::Color color, bool bold = false, int size = 8) {
  return tk::Font{kVerdana, size, bold, color};
}
inline tk::Font Tahoma(tk::Color color, bool bold = false, int size = 8) {
  return tk::Font{kTahoma, size, bold, color};
}

// The window's own colours, as stored; text colours go with their fonts.
constexpr tk::Color kWindowBack = Rgb(0x58, 0x85, 0xC7), kWindowText = Rgb(0xE6, 0xF8, 0xF9);
constexpr tk::Color kDarkTitleBack = Rgb(0x17, 0x29, 0x44);

// The page book and its pages.
constexpr int kBookTop = 100, kBookWidth = 349, kBookHeight = 341;
constexpr int kTitleHeight = 20;
constexpr int kButtonWidth = 75, kButtonHeight = 25;

inline void Place(tk::Control& c, int left, int top, int width, int height, const std::string& caption = {}) {
  c.SetBounds(left, top, width, height);
  if (!caption.empty()) c.SetCaption(caption);
}

// A coloured panel: every caption panel of the window.
inline void Bar(components::TProPanel& p, int left, int top, int width, int height, tk::Color back,
                const tk::Font& font, const std::string& caption = {}) {
  p.SetColor(back);
  p.SetFont(font);
  Place(p, left, top, width, height, caption);
}

// The title bar across the top of a page's panel.
inline void Title(components::TProPanel& p, const std::string& caption, tk::Color back, const tk::Font& font) {
  Bar(p, 0, 0, p.Parent()->Width(), kTitleHeight, back, font, caption);
}

// A list shows the system's window colours unless it is given its own.
inline void List(tk::ListBox& list, int left, int top, int width, int height) {
  Place(list, left, top, width, height);
  list.SetFont(Verdana(tk::kDefaultColor));
}

// Bottom-right buttons of a page panel, right to left from the panel's edge.
inline void RightButtons(int panel_width, int top,
                         std::initializer_list<std::pair<tk::Button*, const char*>> right_to_left) {
  int left = panel_width - 10;
  for (const auto& [button, caption] : right_to_left) {
    left -= kButtonWidth;
    Place(*button, left, top, kButtonWidth, kButtonHeight, caption);
    left -= 6;
  }
}

}  // namespace app::look
