// veltrane.exe: wires the real Windows backends to the program.
#include "app/velmainfrm.h"
#include "platform/win32/win32_platform.h"
#include "toolkit/application.h"
#include "toolkit/win32/win32_backend.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  tk::win32::Win32Backend backend(instance);
  tk::Application application(backend);
  application.SetTitle("Veltrane");
  platform::win32::Win32Platform system;
  app::Tvelmain velmain(system.View());
  application.SetMainForm(&velmain);
  application.Run();
  return 0;
}
