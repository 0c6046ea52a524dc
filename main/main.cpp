// veltrane.exe: wires the real Windows backends to the program.
#include "app/velmainfrm.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_handles.h"
#include "toolkit/application.h"
#include "toolkit/win32/win32_backend.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace {

// "/updatesite=<url>" points the update check at another site (for tests);
// empty when the command line does not say.
std::string UpdateSiteSwitch() {
  const std::wstring kSwitch = L"/updatesite=";
  int count = 0;
  const platform::win32::LocalMemory<LPWSTR*> args(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!args) return {};
  std::string site;
  for (int i = 1; i < count; ++i) {
    std::wstring arg = args.get()[i];
    if (arg.size() > kSwitch.size() && CompareStringOrdinal(arg.c_str(), int(kSwitch.size()), kSwitch.c_str(),
                                                            int(kSwitch.size()), TRUE) == CSTR_EQUAL)
      site = platform::win32::Utf8(arg.substr(kSwitch.size()));
  }
  return site;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  tk::win32::Win32Backend backend(instance);
  tk::Application application(backend);
  application.SetTitle("Veltrane");
  platform::win32::Win32Platform system;
  app::Tvelmain velmain(system.View());
  if (std::string site = UpdateSiteSwitch(); !site.empty()) velmain.SetUpdateSite(site);
  application.SetMainForm(&velmain);
  application.Run();
  return 0;
}
