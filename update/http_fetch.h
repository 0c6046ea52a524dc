// One HTTP transfer into a file, step by step over the WinInet-shaped
// network: the body of THTTPGet's worker, and the update list's download.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/network.h"

namespace update {

struct UrlParts {
  bool secure = false;
  std::string host;  // empty when the URL cannot be used
  int port = 0;
  std::string path;  // from the first "/" after the host
};

// "http://" or "https://" in any case, host, optional ":port", path. Without
// a scheme the text is taken as host and path over http. A URL without a
// "/" after the host, another scheme or a bad port give an empty host.
UrlParts SplitUrl(const std::string& url);

// The WinInet request flags for a URL and cache choice.
uint32_t RequestFlags(const UrlParts& url, bool use_cache);

struct FetchRequest {
  std::string url;
  std::string agent;
  std::vector<std::string> accept_types;
  std::string file_name;
  // A reply without Content-Length is not read at all (and fails).
  bool binary_data = false;
  bool use_cache = false;
  // A reply without Content-Length is read to its end (at most
  // kMaxUnannouncedBody bytes) instead of failing unless it is empty.
  bool length_optional = false;
  int timeout_ms = 0;  // 0: the system's time-outs
};

constexpr int kFetchBlock = 1025;
constexpr int32_t kMaxUnannouncedBody = 1 << 20;

// What a transfer and another thread that may stop it share.
class FetchControl {
 public:
  // The termination request: the transfer ends at its next check, and a
  // call blocked on its request returns at once.
  void Abort();
  bool Terminated() const;

 private:
  friend class AttachedRequest;
  mutable std::mutex mu_;
  bool terminated_ = false;
  platform::HttpRequest* request_ = nullptr;
};

struct FetchResult {
  bool ok = false;
  int32_t size = 0;  // the announced size (the bytes received when none was announced)
};

// Fetches request.url into request.file_name. Succeeds exactly when the
// status is 2xx and the bytes received equal the announced Content-Length;
// the file is written under a temporary name and takes its place only then,
// so a failed or aborted transfer leaves the file as it was. progress (when
// set) is told the announced size and the bytes so far after every block of
// at most kFetchBlock bytes.
FetchResult Fetch(platform::Network& network, platform::Files& files, const FetchRequest& request,
                  FetchControl& control, const std::function<void(int32_t total, int32_t received)>& progress);

}  // namespace update
