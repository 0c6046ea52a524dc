#include "app/velmainfrm.h"

namespace app {

Tvelmain::Tvelmain() : tk::Form("velmain", "Tvelmain") {
  SetCaption("Veltrane");
  SetBorder(tk::BorderStyle::Single);
  SetBorderIcons(tk::kSystemMenu | tk::kMinimize);
  SetPosition(tk::FormPosition::ScreenCenter);
  SetColor(tk::Rgb(0x58, 0x85, 0xC7));
  SetClientSize(kClientWidth, kRolledUpHeight);
}

}  // namespace app
