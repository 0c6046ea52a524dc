#include "registry/doktorfrm.h"

#include "registry/dialog_look.h"

namespace registry {

namespace {
constexpr dialog::Palette kPalette{tk::Rgb(0xFE, 0xFF, 0xF0), tk::Rgb(0x22, 0x5B, 0x86), tk::Rgb(0x22, 0x5B, 0x86),
                                   tk::Rgb(0xFC, 0xF7, 0xCF)};
}  // namespace

Tdoktor::Tdoktor(Context& context) : tk::Form("doktor", "Tdoktor"), doctor_(context) {
  BuildLayout();
  OnActivate = [this] { FormActivate(); };
  Timer1.SetOnTimer([this] { Timer1Timer(); });
}

void Tdoktor::BuildLayout() {
  dialog::Frame(*this, "Veltrane - registry doctor", kClientWidth, kClientHeight, kPalette);
  dialog::Header(naglowek, "Registry Doctor", 26, tk::Font{"Tahoma", 10, true}, kPalette);

  opis.SetBounds(8, 32, kClientWidth - 16, 54);
  opis.SetWordWrap(true);
  opis.SetCaption(
      "Program is now correcting damaged parts of the registry. Please wait...\r\n\r\n"
      "DO NOT stop or interrupt this process!");

  postep_tytul.SetBounds(8, 90, 120, 14);
  postep_tytul.SetCaption("Progress:");

  int top = 106;
  for (tk::ProgressBar* bar : bars_) {
    bar->SetBounds(8, top, kClientWidth - 16, 14);
    top += 19;
  }
}

void Tdoktor::FormActivate() {
  for (int n = 0; n < RegistryDoctor::kKeys; ++n) {
    tk::ProgressBar& bar = *bars_[n];
    if (!doctor_.RepairKey(n, [&bar](int position, int max) {
          bar.SetMax(max);
          bar.SetPosition(position);
        })) {
      corrupted_ = true;
      Close();
      return;
    }
  }
  // Activated again before it closed: the closing time stays where it was.
  if (!Timer1.Enabled()) Timer1.SetEnabled(true);
}

void Tdoktor::Timer1Timer() {
  Timer1.SetEnabled(false);
  Close();
}

}  // namespace registry
