// veltrane.exe: wires the real Windows backends to the program.
#include <windows.h>

#include "app/velmainfrm.h"
#include "toolkit/application.h"
#include "toolkit/win32/win32_backend.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  tk::win32::Win32Backend backend(instance);
  tk::Application application(backend);
  application.SetTitle("Veltrane");
  app::Tvelmain velmain;
  application.SetMainForm(&velmain);
  application.Run();
  return 0;
}
