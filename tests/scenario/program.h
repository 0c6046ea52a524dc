// The whole program, headless: the main window on the headless toolkit and
// the portable platform, with C: in a scratch folder.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include "app/velmainfrm.h"
#include "process/memory_scan.h"
#include "tests/doubles/portable/portable.h"
#include "registry/data_files.h"
#include "registry/scan.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace scenario {

constexpr const char* kExePath = "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe";
constexpr const char* kUser = "tester";
// The program's own start-with-Windows command, as it registers it.
const std::string kQuotedExePath = "\"" + std::string(kExePath) + "\"";

class Program : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortablePlatform sys{scratch.path()};
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  std::unique_ptr<app::Tvelmain> velmain;

  Program() {
    for (const char* dir : {"Windows", "Program Files/Quorvik/Veltrane/Trashcan"})
      std::filesystem::create_directories(scratch.path() / dir);
    sys.system.SetUserName(std::string(kUser));
    sys.system.SetExePath(kExePath);
    app.SetTitle("Veltrane");
    // Every copy of the program waits while one holds the data files' lock,
    // so it is never held while the window is served or a box is shown.
    backend.on_serve = [this] {
      if (DataFilesLocked()) ADD_FAILURE() << "the window was served with the data files locked";
    };
  }

  // Whether the program holds the lock of its data files now.
  bool DataFilesLocked() {
    const std::string lock = registry::DataPath(sys.processes.WindowsFolder(), registry::kLockFile);
    return sys.files.Exists(lock) && !sys.files.Lock(lock, 0);
  }

  // Creates the main window and runs the loop until the start-up work is done.
  // prepare runs between the window's creation and its first idle moment.
  app::Tvelmain& Start(const std::function<void(app::Tvelmain&)>& prepare = {}) {
    velmain = std::make_unique<app::Tvelmain>(sys.View());
    app.SetMainForm(velmain.get());
    if (prepare) prepare(*velmain);
    velmain->Show();
    backend.RunUntilIdle();
    return *velmain;
  }
  // The program ended and started again on the same machine.
  app::Tvelmain& Restart(const std::function<void(app::Tvelmain&)>& prepare = {}) {
    app.SetMainForm(nullptr);
    velmain.reset();
    backend.ClearBoxes();
    return Start(prepare);
  }
  // The Task Scheduler's calls asked for so far have been made, and what
  // they reported has reached the window.
  void SchedulerDone() {
    EXPECT_TRUE(velmain->scheduler.Wait(10000));
    backend.RunUntilIdle();
  }
  // The four autostart keys, present and empty, as on a fresh Windows.
  void SeedAutostartKeys() {
    sys.registry.LoadRegText(
        "REGEDIT4\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n");
  }
  // The program's own start-with-Windows value, when there is one.
  std::optional<std::string> AutoRunValue() {
    auto v = sys.registry.Get(platform::RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                              "veltrane.exe");
    return v ? std::optional<std::string>(v->data) : std::nullopt;
  }

  // A file under C:, byte for byte; "" when missing.
  std::string ReadFile(const std::string& windows_path) {
    auto host = sys.files.HostPath(windows_path);
    if (!host) return {};
    std::ifstream in(*host, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void WriteFile(const std::string& windows_path, const std::string& bytes) {
    ASSERT_TRUE(sys.files.Replace(windows_path, bytes)) << windows_path;
  }

  // A control of the main window by its name, as a user's tools find it.
  template <class T = tk::Control>
  T& Find(const std::string& name) {
    T* control = dynamic_cast<T*>(velmain->FindChild(name));
    if (!control) throw std::runtime_error("no control named " + name);
    return *control;
  }
  tk::ListBox& List(const std::string& name) { return Find<tk::ListBox>(name); }
  tk::Button& Button(const std::string& name) { return Find<tk::Button>(name); }
  tk::CheckBox& Box(const std::string& name) { return Find<tk::CheckBox>(name); }
  // The page the main window shows, by name.
  std::string PageShown() { return Find<tk::PageBook>("silnik").ActivePage()->Name(); }
  // A check box set as a person sets it, with the space bar: its setting
  // follows, and no mouse handler runs.
  void Tick(const std::string& name, bool on) {
    if (Box(name).Checked() != on) Box(name).UserToggle();
  }

  // The scans, each under the scan gate as the program runs them.
  void FullRegistryScan() {
    velmain->protection().Gate().Run(registry::ScanRequest::FullScan,
                                     [this] { registry::RegistryScan(velmain->protection()).FullRegistryScan(); });
  }
  void ExitScan() {
    velmain->protection().Gate().Run(registry::ScanRequest::ExitScan, [this] { velmain->protection().ExitScan(); });
  }
  void ScanMemory() {
    velmain->protection().Gate().Run(registry::ScanRequest::MemoryScan,
                                     [this] { velmain->protection().MemoryScan(); });
  }

  // A mouse message from the tray icon, as the shell sends it to the window
  // the icon names.
  void TrayMouse(uintptr_t message) {
    const auto icons = sys.shell.Icons();
    ASSERT_EQ(icons.size(), 1u) << "no icon to click";
    intptr_t result = 0;
    backend.Send(icons[0].window, components::TzelTrayIcon::kCallbackMessage, 0, intptr_t(message), result);
    backend.RunUntilIdle();
  }
  // The text of the last balloon the tray icon showed, "" before any.
  std::string LastBalloon() {
    const auto balloons = sys.shell.Balloons();
    return balloons.empty() ? std::string() : balloons.back().text;
  }
  // The item of the tray icon's menu, chosen with a right click on the icon.
  void ChooseFromTrayMenu(const std::string& item) {
    backend.popup_answerer = [item](tk::PopupMenu&) { return item; };
    TrayMouse(kRButtonUp);
    backend.popup_answerer = nullptr;
  }
  static constexpr uintptr_t kDblClk = 0x203, kRButtonUp = 0x205;
};

}  // namespace scenario
