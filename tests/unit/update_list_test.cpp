// The update list: its download (bounded, 2xx only, whole or not at all)
// and what is read from it.
#include "update/update_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/doubles/portable/portable.h"
#include "tests/support/http_server.h"
#include "tests/support/test_network.h"
#include "update/http_fetch.h"

namespace update {
namespace {

using testhttp::Reply;
using testhttp::Text;

class UpdateListDownload : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortableFiles files{scratch.path()};
  testhttp::Server server;

  bool Download(int timeout_ms = 10000) {
    return DownloadList(testhttp::TestNetwork(), files, server.Url("/site/update.txt"), kListPath, timeout_ms);
  }
};

TEST_F(UpdateListDownload, KeepsOnlyAWholeListOfA2xxReply) {
  const std::string list = "[veltrane]\r\nupdate=7\r\n";
  Reply unannounced = Text(200, list);
  unannounced.omit_length = true;
  Reply cut = Text(200, list);
  cut.content_length = "100";
  Reply moved = Text(301, "");
  moved.extra_headers = "Location: /elsewhere\r\n";
  struct Case {
    const char* name;
    Reply reply;
    bool ok;
  } cases[] = {
      {"announced", Text(200, list), true},
      {"read to the end of the connection", unannounced, true},
      {"closed early", cut, false},
      {"not found, with its own page", Text(404, "<html>Not here</html>"), false},
      {"server error", Text(500, "oops"), false},
      {"moved nowhere", moved, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(files.Replace(kListPath, "previous"));
    server.Route("/site/update.txt", c.reply);
    EXPECT_EQ(Download(), c.ok);
    EXPECT_EQ(files.ReadAll(kListPath), c.ok ? list : "previous");
  }
  ASSERT_TRUE(server.WaitForRequests(std::size(cases)));
  EXPECT_EQ(server.Requests()[0].target, "/site/update.txt");
}

TEST_F(UpdateListDownload, NoSiteAndAStalledSiteFail) {
  Reply silent;
  silent.stall = true;
  server.Route("/site/update.txt", silent);
  // The bound is the caller's; the program's own is kListTimeoutMs.
  EXPECT_FALSE(Download(300));
  EXPECT_FALSE(files.Exists(kListPath));
  EXPECT_TRUE(server.WaitForClosed());
  server.Stop();
  EXPECT_FALSE(Download());
}

TEST(UpdateList, ReadsTheAnnouncementWithDefaultsForWhatIsMissing) {
  platform::portable::ScratchFolder scratch;
  platform::portable::PortableFiles files{scratch.path()};
  struct Case {
    const char* text;
    int update;
    const char* wersja;
    const char* rozmiar;
    const char* release;
  } cases[] = {
      {"[veltrane]\nupdate=7\nwersja=1.1\nrozmiar=2 MB\nrelease=2024-05-01\n", 7, "1.1", "2 MB", "2024-05-01"},
      {"[VELTRANE]\nUpdate = 12 \n", 12, "Error. Do not update!", "Error!", "Error!"},
      {"[veltrane]\nupdate=seven\nwersja=1.1\n", 0, "1.1", "Error!", "Error!"},
      {"[other]\nupdate=7\n", 0, "Error. Do not update!", "Error!", "Error!"},
      {"<html><body>Welcome</body></html>", 0, "Error. Do not update!", "Error!", "Error!"},
      {"", 0, "Error. Do not update!", "Error!", "Error!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(files.Replace(kListPath, c.text));
    UpdateList list = ReadUpdateList(files, kListPath);
    EXPECT_EQ(list.update, c.update);
    EXPECT_EQ(list.wersja, c.wersja);
    EXPECT_EQ(list.rozmiar, c.rozmiar);
    EXPECT_EQ(list.release, c.release);
  }
}

TEST(UpdateList, IntegersParseAsTheProfileReaderTakesThem) {
  const std::pair<const char*, int> cases[] = {
      {"6", 6},         {"+7", 7},       {"-3", -3},   {"0012", 12}, {"2147483647", 2147483647},
      {"2147483648", -1}, {"-2147483648", -2147483647 - 1}, {"7a", -1}, {"", -1}, {"-", -1},
      {" 7", -1},       {"99999999999999999999", -1},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseInteger(text, -1), value);
  }
}

}  // namespace
}  // namespace update
