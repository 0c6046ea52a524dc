// A small HTTP/1.0-1.1 server on 127.0.0.1 for tests: scripted replies per
// path (right, short, long or missing Content-Length, any status, a stall,
// a pause in the body) and files from a folder. Every connection gets one
// reply and is closed. Runs on threads of its own in the test's process
// (POSIX sockets or Winsock), or as the end-to-end tests' update site.
#pragma once
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testhttp {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
inline void CloseSocket(Socket s) { closesocket(s); }
inline void ShutSocket(Socket s) { shutdown(s, SD_BOTH); }
inline void ShutSending(Socket s) { shutdown(s, SD_SEND); }
inline bool SocketsReady() {
  static const bool ready = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}
constexpr int kSendFlags = 0;
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
inline void CloseSocket(Socket s) { close(s); }
inline void ShutSocket(Socket s) { shutdown(s, SHUT_RDWR); }
inline void ShutSending(Socket s) { shutdown(s, SHUT_WR); }
inline bool SocketsReady() { return true; }
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

struct Reply {
  int status = 200;
  std::string body;
  // The Content-Length sent: the body's size unless set; omit_length sends none.
  std::optional<std::string> content_length;
  bool omit_length = false;
  std::string extra_headers;  // whole lines, each ending in CR LF
  // Reads the request and never answers, until the client goes or the
  // server stops.
  bool stall = false;
  // After this many body bytes: stall as above (pause_ms < 0) or wait pause_ms.
  long pause_after = -1;
  int pause_ms = -1;
};

inline Reply Text(int status, std::string body) {
  Reply r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

struct Request {
  std::string method, target, version;
  std::map<std::string, std::string> headers;  // lower-case names
  std::string body;
  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

class Server {
 public:
  Server() {
    if (!SocketsReady()) return;
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    if (listener_ == kNoSocket) return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      CloseSocket(listener_);
      listener_ = kNoSocket;
      return;
    }
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }
  ~Server() { Stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool Listening() const { return port_ != 0; }
  int Port() const { return port_; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  void Route(const std::string& path, Reply reply) {
    std::lock_guard<std::mutex> lock(mu_);
    routes_[path] = std::move(reply);
  }
  // Paths without a route are files below root; 404 when there is none.
  void ServeFolder(std::filesystem::path root) {
    std::lock_guard<std::mutex> lock(mu_);
    root_ = std::move(root);
  }

  std::vector<Request> Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
  }
  // Waits until n requests have been read in full (a stall has begun once
  // its request is here).
  bool WaitForRequests(size_t n, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return requests_.size() >= n; });
  }
  // Waits until the clients of every connection so far have closed theirs.
  bool WaitForClosed(int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return open_ == 0; });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (stopping_) return;
      stopping_ = true;
      for (Socket s : clients_) ShutSocket(s);
    }
    cv_.notify_all();
    if (listener_ != kNoSocket) {
      ShutSocket(listener_);
      CloseSocket(listener_);
    }
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mu_);
      threads.swap(threads_);
    }
    for (std::thread& t : threads) t.join();
  }

 private:
  void AcceptLoop() {
    for (;;) {
      Socket c = accept(listener_, nullptr, nullptr);
      std::lock_guard<std::mutex> lock(mu_);
      if (c == kNoSocket || stopping_) {
        if (c != kNoSocket) CloseSocket(c);
        if (stopping_) return;
        continue;
      }
      clients_.push_back(c);
      ++open_;
      threads_.emplace_back([this, c] { Serve(c); });
    }
  }

  static bool ReadRequest(Socket c, Request& request) {
    std::string data;
    char chunk[4096];
    size_t end;
    while ((end = data.find("\r\n\r\n")) == std::string::npos) {
      if (data.size() > 65536) return false;
      int n = recv(c, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      data.append(chunk, size_t(n));
      // Not HTTP (a TLS handshake, say): no request will come.
      if (data[0] < 'A' || data[0] > 'Z') return false;
    }
    std::istringstream head(data.substr(0, end));
    std::string line;
    std::getline(head, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream first(line);
    first >> request.method >> request.target >> request.version;
    while (std::getline(head, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      std::string name = line.substr(0, colon), value = line.substr(colon + 1);
      for (char& ch : name) ch = char(std::tolower(static_cast<unsigned char>(ch)));
      size_t start = value.find_first_not_of(' ');
      request.headers[name] = start == std::string::npos ? "" : value.substr(start);
    }
    request.body = data.substr(end + 4);
    size_t want = 0;
    try {
      want = std::stoul(request.Header("content-length").empty() ? "0" : request.Header("content-length"));
    } catch (...) {
      return false;
    }
    while (request.body.size() < want) {
      int n = recv(c, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      request.body.append(chunk, size_t(n));
    }
    return true;
  }

  Reply Find(const std::string& target) {
    std::lock_guard<std::mutex> lock(mu_);
    std::string path = target.substr(0, target.find('?'));
    auto it = routes_.find(path);
    if (it != routes_.end()) return it->second;
    if (!root_.empty() && path.find("..") == std::string::npos) {
      std::filesystem::path file = root_ / std::filesystem::path(path).relative_path();
      std::error_code ec;
      if (std::filesystem::is_regular_file(file, ec)) {
        std::ifstream in(file, std::ios::binary);
        return Text(200, std::string(std::istreambuf_iterator<char>(in), {}));
      }
    }
    return Text(404, "<html><body>404 Not Found</body></html>");
  }

  static const char* Reason(int status) {
    switch (status) {
      case 200: return "OK";
      case 404: return "Not Found";
      case 500: return "Internal Server Error";
      default: return "Status";
    }
  }

  bool SendAll(Socket c, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
      int n = send(c, data.data() + done, int(data.size() - done), kSendFlags);
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }

  // Until ms passed or the server stops; true when it stops.
  bool Hold(int ms) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
  }

  void Serve(Socket c) {
    Request request;
    if (!ReadRequest(c, request)) {
      ShutSocket(c);
    } else {
      Reply reply = Find(request.target);
      {
        std::lock_guard<std::mutex> lock(mu_);
        requests_.push_back(request);
      }
      cv_.notify_all();
      if (!reply.stall) {
        std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
        if (!reply.omit_length)
          head += "Content-Length: " + reply.content_length.value_or(std::to_string(reply.body.size())) + "\r\n";
        head += reply.extra_headers + "Connection: close\r\n\r\n";
        size_t split = reply.pause_after >= 0 && size_t(reply.pause_after) < reply.body.size()
                           ? size_t(reply.pause_after)
                           : reply.body.size();
        if (SendAll(c, head + reply.body.substr(0, split)) && split < reply.body.size() && reply.pause_ms >= 0 &&
            !Hold(reply.pause_ms))
          SendAll(c, reply.body.substr(split));
        if (split == reply.body.size() || reply.pause_ms >= 0) ShutSending(c);
      }
    }
    // Until the client closes its end (or Stop shuts the socket down).
    char sink[512];
    while (recv(c, sink, sizeof sink, 0) > 0) {
    }
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (auto it = clients_.begin(); it != clients_.end(); ++it)
        if (*it == c) {
          clients_.erase(it);
          break;
        }
      CloseSocket(c);
      --open_;
    }
    cv_.notify_all();
  }

  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::thread acceptor_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool stopping_ = false;
  std::map<std::string, Reply> routes_;
  std::filesystem::path root_;
  std::vector<Request> requests_;
  std::vector<Socket> clients_;
  std::vector<std::thread> threads_;
  int open_ = 0;
};

}  // namespace testhttp
