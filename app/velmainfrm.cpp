#include "app/velmainfrm.h"

namespace app {

struct Tvelmain::StaticTexts {};

Tvelmain::Tvelmain(platform::Platform platform)
    : tk::Form("velmain", "Tvelmain"), platform(platform), auto_(platform, components::TzelAutoExecKind::aekUserRun) {
  BuildLayout();
  ConnectHandlers();
}

Tvelmain::~Tvelmain() = default;

void Tvelmain::BuildLayout() {
  SetCaption("Veltrane");
  SetBorder(tk::BorderStyle::Single);
  SetBorderIcons(tk::kSystemMenu | tk::kMinimize);
  SetPosition(tk::FormPosition::ScreenCenter);
  SetColor(tk::Rgb(0x58, 0x85, 0xC7));
  SetClientSize(kClientWidth, kRolledUpHeight);
}

void Tvelmain::ConnectHandlers() {
  ConnectProcessProtection();
  ConnectRegistryProtection();
}

void Tvelmain::ShowHelpText(const std::string& text, bool use_default) {}
void Tvelmain::rolldownbtnClick() {}
void Tvelmain::rollupTimer() {}
void Tvelmain::rolldownTimer() {}
void Tvelmain::Button2Click() {}
void Tvelmain::Button1Click() {}
void Tvelmain::Button3Click() {}
void Tvelmain::Button4Click() {}
void Tvelmain::Button16Click() {}
void Tvelmain::Button5Click() {}
void Tvelmain::Button17Click() {}
void Tvelmain::Button6Click() {}
void Tvelmain::Button8Click() {}

}  // namespace app
