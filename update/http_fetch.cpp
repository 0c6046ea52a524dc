#include "update/http_fetch.h"

#include <climits>
#include <memory>
#include "platform/text.h"

namespace update {

namespace {

// A decimal number that fits the 32-bit size the events carry.
bool ParseSize(const std::string& text, int32_t& out) {
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > INT32_MAX) return false;
  out = int32_t(v);
  return true;
}

}  // namespace

UrlParts SplitUrl(const std::string& url) {
  UrlParts parts;
  std::string rest = url;
  parts.port = platform::kHttpPort;
  if (platform::StartsAsciiCaseless(url, "https://")) {
    parts.secure = true;
    parts.port = platform::kHttpsPort;
    rest = url.substr(8);
  } else if (platform::StartsAsciiCaseless(url, "http://")) {
    rest = url.substr(7);
  } else if (url.find("://") != std::string::npos) {
    return UrlParts{};  // a scheme this downloader does not speak
  }
  size_t slash = rest.find('/');
  if (slash == std::string::npos) return UrlParts{};
  std::string host = rest.substr(0, slash);
  parts.path = rest.substr(slash);
  // "host:port"; an IPv6 literal keeps its colons inside brackets.
  size_t colon = host.rfind(':');
  size_t bracket = host.rfind(']');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    int32_t port = 0;
    if (!ParseSize(host.substr(colon + 1), port) || port < 1 || port > 65535) return UrlParts{};
    parts.port = port;
    host.resize(colon);
  }
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  parts.host = host;
  if (parts.host.empty()) return UrlParts{};
  return parts;
}

uint32_t RequestFlags(const UrlParts& url, bool use_cache) {
  return (use_cache ? 0 : platform::kHttpFlagReload) | (url.secure ? platform::kHttpFlagSecure : 0);
}

void FetchControl::Abort() {
  std::lock_guard<std::mutex> lock(mu_);
  terminated_ = true;
  if (request_) request_->Cancel();
  request_ = nullptr;
}

bool FetchControl::Terminated() const {
  std::lock_guard<std::mutex> lock(mu_);
  return terminated_;
}

// Makes the open request reachable by Abort for as long as it lives.
class AttachedRequest {
 public:
  AttachedRequest(FetchControl& control, platform::HttpRequest& request) : control_(control) {
    std::lock_guard<std::mutex> lock(control_.mu_);
    if (control_.terminated_)
      request.Cancel();
    else
      control_.request_ = &request;
  }
  ~AttachedRequest() {
    std::lock_guard<std::mutex> lock(control_.mu_);
    control_.request_ = nullptr;
  }
  AttachedRequest(const AttachedRequest&) = delete;
  AttachedRequest& operator=(const AttachedRequest&) = delete;

 private:
  FetchControl& control_;
};

FetchResult Fetch(platform::Network& network, platform::Files& files, const FetchRequest& request,
                  FetchControl& control, const std::function<void(int32_t total, int32_t received)>& progress) {
  FetchResult result;
  // Handles close in reverse order of opening as these go out of scope.
  const UrlParts url = SplitUrl(request.url);
  if (control.Terminated()) return result;
  std::unique_ptr<platform::InternetSession> session = network.Open(request.agent);
  if (!session) return result;
  if (request.timeout_ms > 0) session->SetTimeouts(request.timeout_ms);
  std::unique_ptr<platform::HttpConnection> connection = session->Connect(url.host, url.port);
  if (!connection) return result;

  platform::HttpRequestOptions options;
  options.object = url.path;
  options.accept_types = request.accept_types;
  options.flags = RequestFlags(url, request.use_cache);
  std::unique_ptr<platform::HttpRequest> http = connection->OpenRequest(options);
  if (!http) return result;
  AttachedRequest attached(control, *http);

  if (!http->Send() || control.Terminated()) return result;
  // An error page is not the file asked for, whatever its length.
  const int status = http->StatusCode();
  if (status < 200 || status > 299) return result;

  std::optional<std::string> length = http->ContentLength();
  if (control.Terminated()) return result;
  if (!length && request.binary_data) return result;
  int32_t announced = 0;
  if (length && !ParseSize(*length, announced)) return result;
  const bool to_the_end = !length && request.length_optional;
  const int64_t most = to_the_end ? kMaxUnannouncedBody : announced;

  std::unique_ptr<platform::FileWriter> file = files.OpenWriter(request.file_name);
  if (!file) return result;
  int64_t received = 0;
  char block[kFetchBlock];
  for (;;) {
    if (control.Terminated()) return result;
    int got = http->Read(block, kFetchBlock);
    // Without an announced size only a clean end shows the body is whole.
    if (got < 0 && to_the_end) return result;
    if (got <= 0) break;
    // More than announced can never match any more.
    if (received + got > most) return result;
    if (!file->Write(block, size_t(got))) return result;
    received += got;
    if (progress) progress(announced, int32_t(received));
  }
  if (!to_the_end && received != announced) return result;
  if (control.Terminated() || !file->Commit()) return result;
  result.ok = true;
  result.size = to_the_end ? int32_t(received) : announced;
  return result;
}

}  // namespace update
