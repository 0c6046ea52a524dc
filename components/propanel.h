// TProPanel: the coloured caption panel of every header bar and status line.
// Fills itself with its colour and draws its caption word-wrapped, centred
// vertically and aligned horizontally by the toolkit's Alignment.
#pragma once
#include <string>
#include "toolkit/control.h"

namespace components {

inline constexpr tk::Align taLeftJustify = tk::Align::Left;

class TProPanel : public tk::Panel {
 public:
  TProPanel(tk::Control* parent, std::string name) : tk::Panel(parent, std::move(name)) {}

  void Paint(tk::Canvas& canvas) override;
};

}  // namespace components
