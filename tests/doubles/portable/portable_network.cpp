#include "tests/doubles/portable/portable_network.h"

#ifndef _WIN32
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#endif

namespace platform::portable {

#ifdef _WIN32

std::unique_ptr<InternetSession> PortableNetwork::Open(const std::string&) { return nullptr; }

#else

namespace {

constexpr size_t kMaxHead = 64 * 1024;
constexpr size_t kQueryBuffer = 512;  // UTF-16 characters in HttpQueryInfoW's 1024 bytes, with the NUL

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

struct Settings {
  std::string agent;
  int timeout_ms = 0;
};

class PortableRequest : public HttpRequest {
 public:
  PortableRequest(Settings settings, std::string host, int port, HttpRequestOptions options)
      : settings_(std::move(settings)), host_(std::move(host)), port_(port), options_(std::move(options)) {}
  ~PortableRequest() override {
    if (fd_ >= 0) close(fd_);
  }

  bool Send() override {
    if (sent_ || (options_.flags & kHttpFlagSecure)) return false;
    sent_ = true;
    if (!Connect()) return false;
    std::string request = "GET " + options_.object + " HTTP/1.0\r\n";
    request += "Host: " + host_ + (port_ == kHttpPort ? "" : ":" + std::to_string(port_)) + "\r\n";
    if (!settings_.agent.empty()) request += "User-Agent: " + settings_.agent + "\r\n";
    if (!options_.accept_types.empty()) {
      request += "Accept: ";
      for (size_t i = 0; i < options_.accept_types.size(); ++i)
        request += (i ? ", " : "") + options_.accept_types[i];
      request += "\r\n";
    }
    if (options_.flags & kHttpFlagReload) request += "Pragma: no-cache\r\n";
    request += "\r\n";
    return SendAll(request) && ReadHead();
  }

  int StatusCode() override { return status_; }

  std::optional<std::string> ContentLength() override {
    auto it = headers_.find("content-length");
    if (it == headers_.end() || it->second.size() >= kQueryBuffer) return std::nullopt;
    return it->second;
  }

  int Read(char* buffer, int size) override {
    if (status_ == 0 || size < 0) return -1;
    int total = 0;
    while (total < size) {
      size_t want = size_t(size - total);
      if (limit_) {
        if (*limit_ <= delivered_) break;
        want = std::min<uint64_t>(want, *limit_ - delivered_);
      }
      size_t got = 0;
      if (!pending_.empty()) {
        got = std::min(want, pending_.size());
        std::memcpy(buffer + total, pending_.data(), got);
        pending_.erase(0, got);
      } else {
        ssize_t n = Receive(buffer + total, want);
        if (n < 0) return total > 0 ? total : -1;
        if (n == 0) break;
        got = size_t(n);
      }
      total += int(got);
      delivered_ += got;
    }
    return total;
  }

  void Cancel() override {
    std::lock_guard<std::mutex> lock(mu_);
    cancelled_ = true;
    if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
  }

 private:
  bool Connect() {
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &found) != 0) return false;
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) {
      int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (fd < 0) continue;
      if (settings_.timeout_ms > 0) {
        timeval tv{settings_.timeout_ms / 1000, (settings_.timeout_ms % 1000) * 1000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);  // bounds connect too
      }
      {
        // A Cancel from here on shuts the socket down.
        std::lock_guard<std::mutex> lock(mu_);
        if (cancelled_) {
          close(fd);
          break;
        }
        fd_ = fd;
      }
      connected = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
      if (!connected) {
        std::lock_guard<std::mutex> lock(mu_);
        close(fd_);
        fd_ = -1;
      }
    }
    freeaddrinfo(found);
    return connected;
  }

  bool SendAll(const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
      ssize_t n = send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += size_t(n);
    }
    return true;
  }

  ssize_t Receive(char* buffer, size_t size) {
    for (;;) {
      ssize_t n = recv(fd_, buffer, size, 0);
      if (n < 0 && errno == EINTR) continue;
      return n;
    }
  }

  // The status line and headers; what follows them is the start of the body.
  bool ReadHead() {
    std::string head;
    size_t end;
    char chunk[4096];
    while ((end = head.find("\r\n\r\n")) == std::string::npos) {
      if (head.size() > kMaxHead) return false;
      ssize_t n = Receive(chunk, sizeof chunk);
      if (n <= 0) return false;
      head.append(chunk, size_t(n));
    }
    pending_ = head.substr(end + 4);
    head.resize(end);
    size_t line_end = head.find("\r\n");
    std::string status_line = head.substr(0, line_end);
    // "HTTP/1.x NNN reason"
    if (status_line.rfind("HTTP/", 0) != 0) return false;
    size_t space = status_line.find(' ');
    if (space == std::string::npos || status_line.size() < space + 4) return false;
    int status = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
      if (status_line[i] < '0' || status_line[i] > '9') return false;
      status = status * 10 + (status_line[i] - '0');
    }
    size_t pos = line_end == std::string::npos ? head.size() : line_end + 2;
    while (pos < head.size()) {
      size_t next = head.find("\r\n", pos);
      if (next == std::string::npos) next = head.size();
      std::string line = head.substr(pos, next - pos);
      size_t colon = line.find(':');
      if (colon != std::string::npos) {
        std::string name = Lower(Trim(line.substr(0, colon)));
        headers_.emplace(name, Trim(line.substr(colon + 1)));  // the first of a name counts
      }
      pos = next + 2;
    }
    auto length = ContentLength();
    if (length && !length->empty() && length->find_first_not_of("0123456789") == std::string::npos &&
        length->size() <= 18)
      limit_ = std::stoull(*length);
    status_ = status;
    return true;
  }

  Settings settings_;
  std::string host_;
  int port_;
  HttpRequestOptions options_;
  std::mutex mu_;
  int fd_ = -1;
  bool cancelled_ = false;
  bool sent_ = false;
  int status_ = 0;
  std::map<std::string, std::string> headers_;
  std::string pending_;
  std::optional<uint64_t> limit_;
  uint64_t delivered_ = 0;
};

class PortableConnection : public HttpConnection {
 public:
  PortableConnection(Settings settings, std::string host, int port)
      : settings_(std::move(settings)), host_(std::move(host)), port_(port) {}
  std::unique_ptr<HttpRequest> OpenRequest(const HttpRequestOptions& options) override {
    if (options.object.empty()) return nullptr;
    return std::make_unique<PortableRequest>(settings_, host_, port_, options);
  }

 private:
  Settings settings_;
  std::string host_;
  int port_;
};

class PortableSession : public InternetSession {
 public:
  explicit PortableSession(std::string agent) { settings_.agent = std::move(agent); }
  void SetTimeouts(int milliseconds) override { settings_.timeout_ms = milliseconds; }
  std::unique_ptr<HttpConnection> Connect(const std::string& host, int port) override {
    if (host.empty() || host.find('\0') != std::string::npos || port <= 0 || port > 65535) return nullptr;
    return std::make_unique<PortableConnection>(settings_, host, port);
  }

 private:
  Settings settings_;
};

}  // namespace

std::unique_ptr<InternetSession> PortableNetwork::Open(const std::string& agent) {
  return std::make_unique<PortableSession>(agent);
}

#endif

}  // namespace platform::portable
