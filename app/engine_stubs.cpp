// Operations whose work is not written yet.
#include "app/velmainfrm.h"

namespace app {

void Tvelmain::RefreshLists() {}
void Tvelmain::ShowProtectionLevel() {}
void Tvelmain::LoadConfiguration() {}
void Tvelmain::SaveConfiguration() {}
void Tvelmain::NoRightsExit() {}
void Tvelmain::StartMonitor() {}
void Tvelmain::propsIdle(bool& done) {}
void Tvelmain::FormClose(tk::CloseAction& action) {}
void Tvelmain::Exitprogram1Click() {}
void Tvelmain::auto_startMouseUp() {}
void Tvelmain::auto_skan_rejestruMouseUp() {}
void Tvelmain::auto_skan_pamieciMouseUp() {}
void Tvelmain::auto_skan_koncowyMouseUp() {}
void Tvelmain::auto_skan_zywyMouseUp() {}
void Tvelmain::Button7Click() {}
void Tvelmain::Button13Click() {}

}  // namespace app
