// TProPanel: the coloured caption panel of every header bar and status line.
#pragma once
#include "toolkit/control.h"

namespace components {

class TProPanel : public tk::Panel {
 public:
  TProPanel(tk::Control* parent, std::string name) : tk::Panel(parent, std::move(name)) {}
};

}  // namespace components
