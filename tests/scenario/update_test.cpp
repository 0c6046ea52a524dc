// Page update of the whole program against an update site on 127.0.0.1.
#include <chrono>

#include <gmock/gmock.h>

#include "registry/data_files.h"
#include "tests/scenario/program.h"
#include "tests/support/http_server.h"
#include "tests/support/test_network.h"
#include "tests/support/data_paths.h"

namespace scenario {
namespace {

using ::testing::ElementsAre;
using testhttp::Reply;
using testhttp::Text;

constexpr const char* kNotDownloaded =
    "Could not download update list. Please try again or go to https://www.quorvik.com/veltrane to download an "
    "updated version.";
constexpr const char* kNoNumber =
    "Update file was downloaded, but program was unable to determine the new version number. Update will not "
    "continue.";
constexpr const char* kCurrent = "Your version of Veltrane is current.";
constexpr const char* kNewer = "[veltrane]\r\nupdate=7\r\nwersja=1.1\r\nrozmiar=1.2 MB\r\nrelease=2024-06-01\r\n";

class UpdatePage : public Program {
 protected:
  testhttp::Server server;

  // A configured user, the update site on the test's server.
  app::Tvelmain& StartWithSite(const std::string& folder = "/veltrane/") {
    WriteFile(registry::ConfigPath("C:\\Windows", kUser), "[glowna]\r\nskonfigurowany=1\r\n");
    velmain = std::make_unique<app::Tvelmain>(platform::Platform{sys.registry, sys.processes, sys.files, sys.shell,
                                                                 sys.system, testhttp::TestNetwork(), sys.event_log, sys.tasks,
                                                                 sys.services, sys.program_files});
    app.SetMainForm(velmain.get());
    velmain->SetUpdateSite(server.Url(folder));
    velmain->Show();
    backend.RunUntilIdle();
    backend.ClearBoxes();
    return *velmain;
  }
  void Click(tk::Control& c) {
    ASSERT_TRUE(backend.Click(c)) << c.Name();
    backend.RunUntilIdle();
  }
  void Check() {
    Click(Button("Button8"));
    Click(Button("Button24"));
  }
  // Runs the download's hand-overs until it has ended, which a box tells
  // (bounded, in case it never does).
  void RunDownload() {
    auto ended = [this] {
      for (const std::string& text : backend.BoxTexts())
        if (text.rfind("Update was downloaded.", 0) == 0 || text.rfind("Error occured.", 0) == 0) return true;
      return false;
    };
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ended() && std::chrono::steady_clock::now() < limit) {
      backend.WaitForSynchronize(100);
      backend.RunUntilIdle();
    }
    ASSERT_TRUE(ended());
  }
  std::vector<std::string> Labels() {
    return {Find<tk::Label>("updwersja").Caption(), Find<tk::Label>("updrozmiar").Caption(), Find<tk::Label>("updrelease").Caption()};
  }
};

TEST_F(UpdatePage, ANewerUpdateFillsTheDetailsAndEnablesDownload) {
  server.Route("/veltrane/update.txt", Text(200, kNewer));
  StartWithSite();
  EXPECT_FALSE(Button("downloadbtn").Enabled());
  Check();
  EXPECT_THAT(backend.BoxTexts(), ::testing::IsEmpty());
  EXPECT_TRUE(Button("downloadbtn").Enabled());
  EXPECT_THAT(Labels(), ElementsAre("1.1", "1.2 MB", "2024-06-01"));
  EXPECT_EQ(Find<tk::PageBook>("silnik").ActivePage(), &Find<tk::Page>("update"));
  EXPECT_EQ(ReadFile("C:\\Windows\\temp.vlt"), "[veltrane]\r\nwersja=1.0\r\nupdate=6\r\n");
  EXPECT_EQ(ReadFile("C:\\QuorvikUpdate.txt"), kNewer);
  ASSERT_TRUE(server.WaitForRequests(1));
  EXPECT_EQ(server.Requests()[0].target, "/veltrane/update.txt");
}

TEST_F(UpdatePage, OtherListsSayWhyNothingIsOffered) {
  struct Case {
    const char* name;
    Reply reply;
    std::vector<std::string> boxes;
    std::vector<tk::MsgKind> kinds;
  } cases[] = {
      {"same update", Text(200, "[veltrane]\r\nupdate=6\r\nwersja=1.0\r\n"), {kCurrent}, {tk::MsgKind::Information}},
      {"older update", Text(200, "[veltrane]\r\nupdate=5\r\n"), {kCurrent}, {tk::MsgKind::Information}},
      {"not a list", Text(200, "<html><body>Parked domain</body></html>"),
       {kNoNumber, kCurrent}, {tk::MsgKind::Error, tk::MsgKind::Information}},
      {"no such list", Text(404, "<html><body>Not Found</body></html>"), {kNotDownloaded}, {tk::MsgKind::Warning}},
      {"server error", Text(500, "[veltrane]\r\nupdate=9\r\n"), {kNotDownloaded}, {tk::MsgKind::Warning}},
  };
  StartWithSite();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.Route("/veltrane/update.txt", c.reply);
    backend.ClearBoxes();
    Check();
    EXPECT_EQ(backend.BoxTexts(), c.boxes);
    for (size_t i = 0; i < c.kinds.size() && i < backend.Boxes().size(); ++i)
      EXPECT_EQ(backend.Boxes()[i].kind, c.kinds[i]);
    EXPECT_FALSE(Button("downloadbtn").Enabled());
    EXPECT_THAT(Labels(), ElementsAre("n/a", "n/a", "n/a"));
  }
}

TEST_F(UpdatePage, DownloadFollowsTheProgressShowsTheArchiveInExplorerAndEnds) {
  const std::string archive(5000, 'Z');
  server.Route("/veltrane/update.txt", Text(200, kNewer));
  server.Route("/veltrane/veltraneupdate.zip", Text(200, archive));
  std::vector<std::pair<int, int>> bar;
  StartWithSite();
  Check();
  // Explorer is the Windows folder's, wherever Windows says that is.
  sys.processes.SetWindowsFolder("D:\\WINNT");
  // The bar as each block's hand-over has left it.
  Find<app::UpdatePage>("update").get_file.OnProgress = [&, own = Find<app::UpdatePage>("update").get_file.OnProgress](update::THTTPGet* sender, int32_t total,
                                                                        int32_t readed) {
    own(sender, total, readed);
    bar.emplace_back(Find<tk::ProgressBar>("sciaganie").Max(), Find<tk::ProgressBar>("sciaganie").Position());
  };
  Click(Button("downloadbtn"));
  RunDownload();
  EXPECT_THAT(bar, ElementsAre(std::pair(5000, 1025), std::pair(5000, 2050), std::pair(5000, 3075),
                               std::pair(5000, 4100), std::pair(5000, 5000)));
  ASSERT_EQ(backend.Boxes().size(), 2u);
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Information);
  EXPECT_EQ(backend.Boxes()[0].text, "Update was downloaded. Read the help file inside it.");
  EXPECT_EQ(backend.Boxes()[1].kind, tk::MsgKind::Plain);
  EXPECT_EQ(backend.Boxes()[1].text, "Restart Veltrane!");
  // Shown, selected, for the person to open: no association of theirs runs with this program's rights.
  EXPECT_THAT(sys.shell.StartedPrograms(),
              ElementsAre(platform::portable::PortableShell::Started{"D:\\WINNT\\explorer.exe",
                                                                     "/select,c:\\veltraneupdate.zip", "c:\\"}));
  EXPECT_EQ(ReadFile("C:\\veltraneupdate.zip"), archive);
  EXPECT_TRUE(app.Terminated());
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target, "/veltrane/veltraneupdate.zip");
  EXPECT_EQ(requests[1].Header("user-agent"), "Zentile HTTPGet");
}

TEST_F(UpdatePage, AFailedDownloadSaysWhereToGetTheProgramAndOpensNothing) {
  server.Route("/veltrane/update.txt", Text(200, kNewer));
  server.Route("/veltrane/veltraneupdate.zip", Text(404, "<html><body>Not Found</body></html>"));
  StartWithSite();
  Check();
  Click(Button("downloadbtn"));
  RunDownload();
  EXPECT_THAT(backend.BoxTexts(),
              ElementsAre("Error occured. Try to download the newest version from https://www.quorvik.com/veltrane."));
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Error);
  EXPECT_THAT(sys.shell.StartedPrograms(), ::testing::IsEmpty());
  EXPECT_FALSE(sys.files.Exists("C:\\veltraneupdate.zip"));
  EXPECT_FALSE(app.Terminated());
  EXPECT_TRUE(Button("downloadbtn").Enabled());
}

TEST_F(UpdatePage, EndingDuringADownloadAbortsItWithoutAWord) {
  Reply slow = Text(200, std::string(5000, 'Z'));
  slow.pause_after = 2050;  // and no more
  server.Route("/veltrane/update.txt", Text(200, kNewer));
  server.Route("/veltrane/veltraneupdate.zip", slow);
  StartWithSite();
  Check();
  Click(Button("downloadbtn"));
  while (Find<tk::ProgressBar>("sciaganie").Position() < 2050 && backend.WaitForSynchronize(10000)) backend.RunUntilIdle();
  EXPECT_EQ(Find<tk::ProgressBar>("sciaganie").Position(), 2050);
  EXPECT_EQ(Find<tk::ProgressBar>("sciaganie").Max(), 5000);
  // The program ends as after "Exit program": the window goes.
  app.SetMainForm(nullptr);
  velmain.reset();
  backend.RunUntilIdle();
  EXPECT_THAT(backend.BoxTexts(), ::testing::IsEmpty());
  EXPECT_THAT(sys.shell.StartedPrograms(), ::testing::IsEmpty());
  EXPECT_FALSE(sys.files.Exists("C:\\veltraneupdate.zip"));
  EXPECT_EQ(*sys.files.HostPath("C:\\"), scratch.path());
  for (const auto& e : std::filesystem::directory_iterator(scratch.path()))
    EXPECT_EQ(e.path().filename().string().find("veltraneupdate"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace scenario
