// Shortcuts for the end-to-end tests, made as Explorer makes them:
//   lnktool startup <user|all> <file name> <target> [arguments]
// puts a shortcut of that name into the person's (or all users') Startup
// folder, as Windows names it; exit code 0 when it was saved.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

namespace {

std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring w(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, w.data(), n);
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || std::string(argv[1]) != "startup") return 2;
  const KNOWNFOLDERID& id = std::string(argv[2]) == "all" ? FOLDERID_CommonStartup : FOLDERID_Startup;
  PWSTR folder = nullptr;
  if (FAILED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &folder))) return 1;
  const std::wstring path = std::wstring(folder) + L"\\" + Wide(argv[3]);
  CoTaskMemFree(folder);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  bool saved = false;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    link->SetPath(Wide(argv[4]).c_str());
    if (argc > 5) link->SetArguments(Wide(argv[5]).c_str());
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      saved = SUCCEEDED(file->Save(path.c_str(), TRUE));
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return saved ? 0 : 1;
}
