// THTTPGet against a real server on 127.0.0.1: through sockets on the host,
// through WinInet under Wine.
#include "update/httpget.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "tests/doubles/portable/portable.h"
#include "tests/support/http_server.h"
#include "tests/support/test_network.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"
#include "update/http_fetch.h"

namespace update {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testhttp::Reply;
using testhttp::Text;

constexpr const char* kFile = "C:\\download\\archive.zip";

std::string Bytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char('a' + i % 23);
  return s;
}

// The network and files a download is given, watched: how many of their
// objects it still holds (sessions, connections, requests, files being
// written), and every call made once the test has declared them gone.
struct Watch {
  std::atomic<int> held{0};
  std::atomic<int> late_calls{0};
  std::atomic<bool> gone{false};
  void Call() {
    if (gone) ++late_calls;
  }
};

// Counts itself as held for its lifetime.
struct Held {
  explicit Held(Watch& w) : watch(w) { ++watch.held; }
  ~Held() { --watch.held; }
  Watch& watch;
};

class WatchedRequest : public platform::HttpRequest, Held {
 public:
  WatchedRequest(Watch& w, std::unique_ptr<platform::HttpRequest> r) : Held(w), r_(std::move(r)) {}
  bool Send() override { return watch.Call(), r_->Send(); }
  int StatusCode() override { return watch.Call(), r_->StatusCode(); }
  std::optional<std::string> ContentLength() override { return watch.Call(), r_->ContentLength(); }
  int Read(char* buffer, int size) override { return watch.Call(), r_->Read(buffer, size); }
  void Cancel() override { watch.Call(), r_->Cancel(); }

 private:
  std::unique_ptr<platform::HttpRequest> r_;
};

class WatchedConnection : public platform::HttpConnection, Held {
 public:
  WatchedConnection(Watch& w, std::unique_ptr<platform::HttpConnection> c) : Held(w), c_(std::move(c)) {}
  std::unique_ptr<platform::HttpRequest> OpenRequest(const platform::HttpRequestOptions& options) override {
    watch.Call();
    auto r = c_->OpenRequest(options);
    return r ? std::make_unique<WatchedRequest>(watch, std::move(r)) : nullptr;
  }

 private:
  std::unique_ptr<platform::HttpConnection> c_;
};

class WatchedSession : public platform::InternetSession, Held {
 public:
  WatchedSession(Watch& w, std::unique_ptr<platform::InternetSession> s) : Held(w), s_(std::move(s)) {}
  void SetTimeouts(int milliseconds) override { watch.Call(), s_->SetTimeouts(milliseconds); }
  std::unique_ptr<platform::HttpConnection> Connect(const std::string& host, int port) override {
    watch.Call();
    auto c = s_->Connect(host, port);
    return c ? std::make_unique<WatchedConnection>(watch, std::move(c)) : nullptr;
  }

 private:
  std::unique_ptr<platform::InternetSession> s_;
};

class WatchedWriter : public platform::FileWriter, Held {
 public:
  WatchedWriter(Watch& w, std::unique_ptr<platform::FileWriter> f) : Held(w), f_(std::move(f)) {}
  bool Write(const char* data, size_t size) override { return watch.Call(), f_->Write(data, size); }
  bool Commit() override { return watch.Call(), f_->Commit(); }

 private:
  std::unique_ptr<platform::FileWriter> f_;
};

class WatchedNetwork : public platform::Network {
 public:
  explicit WatchedNetwork(Watch& w) : watch_(w) {}
  std::unique_ptr<platform::InternetSession> Open(const std::string& agent) override {
    watch_.Call();
    auto s = testhttp::TestNetwork().Open(agent);
    return s ? std::make_unique<WatchedSession>(watch_, std::move(s)) : nullptr;
  }

 private:
  Watch& watch_;
};

class WatchedFiles : public platform::portable::PortableFiles {
 public:
  WatchedFiles(Watch& w, std::filesystem::path root) : PortableFiles(std::move(root)), watch_(w) {}
  std::unique_ptr<platform::FileWriter> OpenWriter(const std::string& path) override {
    watch_.Call();
    auto f = PortableFiles::OpenWriter(path);
    return f ? std::make_unique<WatchedWriter>(watch_, std::move(f)) : nullptr;
  }

 private:
  Watch& watch_;
};

class HttpGet : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortableFiles files{scratch.path()};
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  testhttp::Server server;
  std::unique_ptr<THTTPGet> get = std::make_unique<THTTPGet>(testhttp::TestNetwork(), files);
  std::vector<std::string> events;

  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    std::filesystem::create_directories(scratch.path() / "download");
    get->BinaryData = true;
    get->FileName = kFile;
    get->URL = server.Url("/file");
    get->OnProgress = [this](THTTPGet* sender, int32_t total, int32_t readed) {
      EXPECT_EQ(sender, get.get());
      events.push_back("progress " + std::to_string(total) + " " + std::to_string(readed));
    };
    get->OnDoneFile = [this](THTTPGet* sender, const std::string& name, int32_t size) {
      EXPECT_EQ(sender, get.get());
      events.push_back("done " + name + " " + std::to_string(size));
    };
    get->OnError = [this](THTTPGet* sender) {
      EXPECT_EQ(sender, get.get());
      events.push_back("error");
    };
  }

  // Runs the hand-overs until the transfer has told its end (bounded, in
  // case it never does).
  bool RunUntilEnded() {
    auto ended = [this] { return !events.empty() && (events.back() == "error" || events.back().rfind("done", 0) == 0); };
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ended() && std::chrono::steady_clock::now() < limit) {
      backend.WaitForSynchronize(100);
      backend.RunUntilIdle();
    }
    return ended();
  }
  std::vector<std::string> Transfer() {
    get->GetFile();
    EXPECT_TRUE(RunUntilEnded());
    return events;
  }
  std::optional<std::string> File() {
    auto bytes = files.ReadAll(kFile);
    return bytes;
  }
  // Nothing but the target (no temporary file) in its folder.
  std::vector<std::string> Folder() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(scratch.path() / "download"))
      names.push_back(e.path().filename().string());
    return names;
  }
  std::string Done(size_t size) { return std::string("done ") + kFile + " " + std::to_string(size); }
};

TEST_F(HttpGet, SucceedsOnlyWithA2xxReplyOfExactlyTheAnnouncedLength) {
  const std::string body = Bytes(3000);
  Reply exact = Text(200, body);
  Reply zero = Text(200, "");
  Reply created = Text(201, body);
  Reply short_body = Text(200, body);
  short_body.content_length = "5000";
  Reply unannounced = Text(200, body);
  unannounced.omit_length = true;
  Reply not_found = Text(404, "<html>no such file</html>");
  Reply failed = Text(500, "<html>broken</html>");
  Reply not_a_number = Text(200, body);
  not_a_number.content_length = "3000x";
  Reply too_big = Text(200, body);
  too_big.content_length = "4294967296";
  struct Case {
    const char* name;
    Reply reply;
    bool ok;
    std::string file;  // what the target holds afterwards
  } cases[] = {
      {"announced and sent", exact, true, body},
      {"Content-Length 0", zero, true, ""},
      {"any 2xx", created, true, body},
      {"closed early", short_body, false, "old"},
      {"no Content-Length with BinaryData", unannounced, false, "old"},
      {"error page with its own length", not_found, false, "old"},
      {"server error", failed, false, "old"},
      {"length not a number", not_a_number, false, "old"},
      {"length beyond 32 bits", too_big, false, "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(files.Replace(kFile, "old"));
    events.clear();
    server.Route("/file", c.reply);
    get->OnProgress = nullptr;
    Transfer();
    EXPECT_THAT(events, ElementsAre(c.ok ? Done(c.reply.body.size()) : "error"));
    EXPECT_EQ(File(), c.file);
    EXPECT_THAT(Folder(), ElementsAre("archive.zip"));
  }
}

TEST_F(HttpGet, ABodyLongerThanAnnouncedEndsAtTheAnnouncedLength) {
  // HTTP ends the body at its Content-Length; WinInet reads no further.
  Reply longer = Text(200, Bytes(3000));
  longer.content_length = "1000";
  server.Route("/file", longer);
  get->OnProgress = nullptr;
  EXPECT_THAT(Transfer(), ElementsAre(Done(1000)));
  EXPECT_EQ(File(), Bytes(1000));
}

TEST_F(HttpGet, ReportsProgressOncePerBlockWithTheRunningTotal) {
  server.Route("/file", Text(200, Bytes(5000)));
  EXPECT_THAT(Transfer(), ElementsAre("progress 5000 1025", "progress 5000 2050", "progress 5000 3075",
                                      "progress 5000 4100", "progress 5000 5000", Done(5000)));
  EXPECT_EQ(File(), Bytes(5000));
}

TEST_F(HttpGet, DestroyedDuringATransferItRaisesNothingAndLetsGo) {
  Reply half = Text(200, Bytes(4000));
  half.pause_after = 1025;
  server.Route("/file", half);
  get->GetFile();
  ASSERT_TRUE(backend.WaitForSynchronize(10000));
  backend.RunUntilIdle();
  ASSERT_THAT(events, ElementsAre("progress 4000 1025"));
  // A second start while it runs is ignored.
  get->GetFile();
  get.reset();
  EXPECT_TRUE(server.WaitForClosed());
  EXPECT_EQ(server.Requests().size(), 1u);
  backend.RunUntilIdle();
  EXPECT_THAT(events, ElementsAre("progress 4000 1025"));
  EXPECT_FALSE(File());
  EXPECT_THAT(Folder(), ::testing::IsEmpty());
}

TEST_F(HttpGet, UrlsWithCapitalsAndPortsWorkAndUnusableOnesFail) {
  server.Route("/file", Text(200, "content"));
  const std::string port = std::to_string(server.Port());
  struct Case {
    std::string url;
    bool ok;
    bool reaches_server;
  } cases[] = {
      {"HTTP://127.0.0.1:" + port + "/file", true, true},
      {"Http://localhost:" + port + "/file", true, true},
      {"127.0.0.1:" + port + "/file", true, true},
      // No path after the host: nothing to ask for.
      {"http://127.0.0.1:" + port, false, false},
      // Never plain text where a secure connection was asked for.
      {"https://127.0.0.1:" + port + "/file", false, false},
      {"ftp://127.0.0.1:" + port + "/file", false, false},
      {"http://127.0.0.1:0/file", false, false},
  };
  get->OnProgress = nullptr;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    events.clear();
    size_t before = server.Requests().size();
    get->URL = c.url;
    Transfer();
    EXPECT_THAT(events, ElementsAre(c.ok ? Done(7) : "error"));
    EXPECT_EQ(server.Requests().size(), before + (c.reaches_server ? 1 : 0));
  }
}

TEST_F(HttpGet, SendsTheRequestThePropertiesDescribe) {
  server.Route("/file", Text(200, "x"));
  get->OnProgress = nullptr;
  Transfer();
  get->Agent = "";
  get->AcceptTypes = "application/zip";
  Transfer();
  ASSERT_TRUE(server.WaitForRequests(2));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/file");
  EXPECT_EQ(requests[0].version, "HTTP/1.0");
  EXPECT_EQ(requests[0].Header("user-agent"), "Zentile HTTPGet");
  EXPECT_EQ(requests[0].Header("accept"), "*/*");
  EXPECT_EQ(requests[0].body, "");
  EXPECT_EQ(requests[1].Header("user-agent"), "");
  EXPECT_EQ(requests[1].Header("accept"), "application/zip");
}

TEST_F(HttpGet, ANewTransferCanStartFromTheEndOfTheLastOne) {
  server.Route("/file", Text(200, "again"));
  get->OnProgress = nullptr;
  int started = 0;
  get->OnDoneFile = [&](THTTPGet* sender, const std::string&, int32_t) {
    events.push_back("done");
    if (++started < 3) sender->GetFile();
  };
  get->GetFile();
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (events.size() < 3 && std::chrono::steady_clock::now() < limit) {
    backend.WaitForSynchronize(100);
    backend.RunUntilIdle();
  }
  EXPECT_THAT(events, ElementsAre("done", "done", "done"));
  EXPECT_TRUE(RunUntilEnded());
}

// The name under which a download's file grows, for the n-th file that
// the store begins: where another program could plant something first.
std::string TemporaryName(int n) {
#ifdef _WIN32
  const int pid = _getpid();
#else
  const int pid = getpid();
#endif
  return "archive.zip.tmp-" + std::to_string(pid) + "-" + std::to_string(n);
}

TEST_F(HttpGet, NeverWritesIntoAnythingThatWasThereBefore) {
  server.Route("/file", Text(200, "update"));
  get->OnProgress = nullptr;
  const std::filesystem::path folder = scratch.path() / "download";
  const std::filesystem::path elsewhere = scratch.path() / "secret.txt";
  {
    std::ofstream(elsewhere) << "secret";
    std::ofstream(folder / TemporaryName(1)) << "planted";
  }
  // A file planted under the temporary name is never opened, nor removed.
  EXPECT_THAT(Transfer(), ElementsAre("error"));
  EXPECT_FALSE(File());
  std::ifstream planted(folder / TemporaryName(1));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(planted), {}), "planted");

  // A target that is a folder is refused.
  events.clear();
  std::filesystem::create_directory(scratch.path() / "download" / "archive.zip.d");
  get->FileName = "C:\\download\\archive.zip.d";
  EXPECT_THAT(Transfer(), ElementsAre("error"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "archive.zip.d"));
#ifndef _WIN32
  // Links, under the temporary name or as the target, lead nowhere.
  events.clear();
  get->FileName = kFile;
  std::filesystem::create_symlink(elsewhere, folder / TemporaryName(2));
  EXPECT_THAT(Transfer(), ElementsAre("error"));
  events.clear();
  std::filesystem::create_symlink(elsewhere, folder / "link.zip");
  get->FileName = "C:\\download\\link.zip";
  EXPECT_THAT(Transfer(), ElementsAre("error"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.zip"));
#endif
  std::ifstream secret(elsewhere);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(secret), {}), "secret");
}

// Destroyed while its worker waits for the user-interface thread, with the
// server stalled: the worker has let go of everything when the destructor
// returns, and the hand-over it had queued, run later, does nothing.
TEST(HttpGetEnd, TheWorkerEndsWithTheComponentAndTouchesNothingAfterwards) {
  platform::portable::ScratchFolder scratch;
  std::filesystem::create_directories(scratch.path() / "download");
  Watch watch;
  WatchedNetwork network(watch);
  WatchedFiles files(watch, scratch.path());
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
  testhttp::Server server;
  ASSERT_TRUE(server.Listening());
  Reply half = Text(200, Bytes(4000));
  half.pause_after = 1025;
  server.Route("/file", half);
  int events = 0;
  auto get = std::make_unique<THTTPGet>(network, files);
  get->BinaryData = true;
  get->FileName = kFile;
  get->URL = server.Url("/file");
  get->OnProgress = [&](THTTPGet*, int32_t, int32_t) { ++events; };
  get->OnDoneFile = [&](THTTPGet*, const std::string&, int32_t) { ++events; };
  get->OnError = [&](THTTPGet*) { ++events; };
  get->GetFile();
  // The first block's progress waits for the user-interface thread.
  ASSERT_TRUE(backend.WaitForSynchronize(10000));
  get.reset();
  EXPECT_EQ(watch.held, 0);
  watch.gone = true;
  backend.RunUntilIdle();
  EXPECT_EQ(events, 0);
  EXPECT_EQ(watch.late_calls, 0);
  EXPECT_TRUE(server.WaitForClosed());
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "download"));
}

TEST(HttpUrl, SplitsSchemeHostPortAndPath) {
  struct Case {
    const char* url;
    bool secure;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://update.quorvik.com/veltrane/update.txt", false, "update.quorvik.com", 80, "/veltrane/update.txt"},
      {"HTTPS://Update.Quorvik.com/a", true, "Update.Quorvik.com", 443, "/a"},
      {"hTTp://h:8080/p?q=1", false, "h", 8080, "/p?q=1"},
      {"https://h:8443/", true, "h", 8443, "/"},
      {"h/p", false, "h", 80, "/p"},
      {"http://[::1]:81/x", false, "::1", 81, "/x"},
      {"http://h/", false, "h", 80, "/"},
      // Unusable: no path, empty host, bad ports, other schemes.
      {"http://h", false, "", 0, ""},
      {"http:///p", false, "", 0, ""},
      {"", false, "", 0, ""},
      {"http://h:0/p", false, "", 0, ""},
      {"http://h:65536/p", false, "", 0, ""},
      {"http://h:80x/p", false, "", 0, ""},
      {"http://h:/p", false, "", 0, ""},
      {"ftp://h/p", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    UrlParts parts = SplitUrl(c.url);
    EXPECT_EQ(parts.host, c.host);
    if (parts.host.empty()) continue;
    EXPECT_EQ(parts.secure, c.secure);
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.path, c.path);
  }
  EXPECT_EQ(RequestFlags(SplitUrl("http://h/p"), false), platform::kHttpFlagReload);
  EXPECT_EQ(RequestFlags(SplitUrl("https://h/p"), false), platform::kHttpFlagReload | platform::kHttpFlagSecure);
  EXPECT_EQ(RequestFlags(SplitUrl("HTTPS://h/p"), true), platform::kHttpFlagSecure);
  EXPECT_EQ(RequestFlags(SplitUrl("http://h/p"), true), 0u);
}

}  // namespace
}  // namespace update
