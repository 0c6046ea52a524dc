#include "update/update_list.h"

#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "registry/ini_store.h"
#include "update/http_fetch.h"

namespace update {

std::string SiteFile(const std::string& site, const std::string& name) {
  if (!site.empty() && site.back() == '/') return site + name;
  return site + "/" + name;
}

bool DownloadList(platform::Network& network, platform::Files& files, const std::string& url,
                  const std::string& path, int timeout_ms) {
  FetchRequest request;
  request.url = url;
  request.agent = "Veltrane";
  request.accept_types = {"*/*"};
  request.file_name = path;
  request.length_optional = true;
  request.timeout_ms = timeout_ms;
  FetchControl control;
  std::mutex mu;
  std::condition_variable cv;
  bool done = false, ok = false;
  // On a thread of its own, so that a site that stalls is given up on time
  // whatever the network layer does with its time-outs.
  std::thread fetcher([&] {
    const FetchResult result = Fetch(network, files, request, control, nullptr);
    std::lock_guard<std::mutex> lock(mu);
    ok = result.ok;
    done = true;
    cv.notify_all();
  });
  {
    std::unique_lock<std::mutex> lock(mu);
    // Aborting closes the request, so that the fetch returns at once.
    if (!cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return done; })) {
      lock.unlock();
      control.Abort();
    }
  }
  fetcher.join();
  return ok;
}

UpdateList ReadUpdateList(platform::Files& files, const std::string& path) {
  registry::IniStore list(files, path);
  UpdateList result;
  result.update = ParseInteger(list.ReadString(kSection, kUpdateKey, "0"), 0);
  result.wersja = list.ReadString(kSection, kVersionKey, "Error. Do not update!");
  result.rozmiar = list.ReadString(kSection, "rozmiar", "Error!");
  result.release = list.ReadString(kSection, "release", "Error!");
  return result;
}

int ParseInteger(const std::string& text, int default_value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return default_value;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return default_value;
    v = v * 10 + (text[i] - '0');
    if (v > 1LL + INT_MAX) return default_value;
  }
  v = negative ? -v : v;
  if (v < INT_MIN || v > INT_MAX) return default_value;
  return int(v);
}

}  // namespace update
