// HTTP as WinInet offers it: a session (InternetOpen), a connection to one
// host (InternetConnect) and requests on it (HttpOpenRequest and the calls on
// the request handle). Closing a handle is destroying its object; the caller
// closes the request, then the connection, then the session.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Request flags, with WinInet's values.
constexpr uint32_t kHttpFlagReload = 0x80000000;  // INTERNET_FLAG_RELOAD: never from a cache
constexpr uint32_t kHttpFlagSecure = 0x00800000;  // INTERNET_FLAG_SECURE: TLS, certificate checked

constexpr int kHttpPort = 80;
constexpr int kHttpsPort = 443;

// A GET over HTTP/1.0.
struct HttpRequestOptions {
  std::string object = "/";  // path and query
  std::vector<std::string> accept_types;
  uint32_t flags = 0;
};

class HttpRequest {
 public:
  // Closes the handle.
  virtual ~HttpRequest() = default;
  // HttpSendRequest without extra headers or body. False when the reply
  // did not come.
  virtual bool Send() = 0;
  // HttpQueryInfo(HTTP_QUERY_STATUS_CODE); 0 when unknown.
  virtual int StatusCode() = 0;
  // HttpQueryInfo(HTTP_QUERY_CONTENT_LENGTH) into a 1024-byte buffer: the
  // header's text as sent; nullopt when it is missing or does not fit.
  virtual std::optional<std::string> ContentLength() = 0;
  // InternetReadFile: fills buffer unless the body ends first. The number of
  // bytes read, 0 at the end of the body, -1 on failure. Never reads past an
  // announced Content-Length.
  virtual int Read(char* buffer, int size) = 0;
  // From any thread, at most once before destruction: the handle is closed
  // so that a call blocked on it returns, failing.
  virtual void Cancel() = 0;
};

class HttpConnection {
 public:
  virtual ~HttpConnection() = default;
  // nullptr when the request cannot be made.
  virtual std::unique_ptr<HttpRequest> OpenRequest(const HttpRequestOptions& options) = 0;
};

class InternetSession {
 public:
  virtual ~InternetSession() = default;
  // Connect, send and receive time-outs of everything opened from now on.
  virtual void SetTimeouts(int milliseconds) = 0;
  // The connection is made when a request is sent; nullptr when the host
  // name is unusable.
  virtual std::unique_ptr<HttpConnection> Connect(const std::string& host, int port) = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // The system's proxy settings; an empty agent sends no User-Agent.
  // nullptr when no session can be opened.
  virtual std::unique_ptr<InternetSession> Open(const std::string& agent) = 0;
};

}  // namespace platform
