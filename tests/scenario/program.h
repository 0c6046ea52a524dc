// The whole program, headless: the main window on the headless toolkit and
// the portable platform, with C: in a scratch folder.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include "app/velmainfrm.h"
#include "platform/portable/portable.h"
#include "toolkit/application.h"
#include "toolkit/headless/headless_backend.h"

namespace scenario {

constexpr const char* kExePath = "C:\\Program Files\\Quorvik\\Veltrane\\veltrane.exe";
constexpr const char* kUser = "tester";

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
  }

  // Creates the main window and runs the loop until the start-up work is done.
  app::Tvelmain& Start() {
    velmain = std::make_unique<app::Tvelmain>(sys.View());
    app.SetMainForm(velmain.get());
    velmain->Show();
    backend.RunUntilIdle();
    return *velmain;
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
};

}  // namespace scenario
