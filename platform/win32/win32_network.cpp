#include "platform/win32/win32_network.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/wide.h"
// After <windows.h>, which it needs.
#include <wininet.h>

namespace platform::win32 {
namespace {

// A handle that another thread may close (Cancel) while this one uses it.
class NetHandle {
 public:
  explicit NetHandle(HINTERNET h) : h_(h) {}
  ~NetHandle() { Close(); }
  NetHandle(const NetHandle&) = delete;
  NetHandle& operator=(const NetHandle&) = delete;
  HINTERNET get() const { return h_.load(); }
  void Close() {
    if (HINTERNET h = h_.exchange(nullptr)) InternetCloseHandle(h);
  }

 private:
  std::atomic<HINTERNET> h_;
};

// Runs the request's blocking calls on a thread of its own, so that Cancel
// ends the wait at once: Windows ends a call when its handle is closed, but
// Wine finishes it first, which may take until the server gives up. A call
// given up on finishes alone, into state it owns.
class CallThread {
 public:
  CallThread() : s_(std::make_shared<Shared>()) {
    std::thread([s = s_] { Loop(*s); }).detach();
  }
  ~CallThread() {
    std::lock_guard<std::mutex> lock(s_->mu);
    s_->quit = true;
    s_->cv.notify_all();
  }
  CallThread(const CallThread&) = delete;
  CallThread& operator=(const CallThread&) = delete;

  // Runs call there and waits; false when cancelled before it returned.
  bool Run(std::function<void()> call) {
    std::unique_lock<std::mutex> lock(s_->mu);
    if (s_->cancelled) return false;
    s_->call = std::move(call);
    s_->done = false;
    s_->cv.notify_all();
    s_->cv.wait(lock, [&] { return s_->done || s_->cancelled; });
    return s_->done && !s_->cancelled;
  }
  void Cancel() {
    std::lock_guard<std::mutex> lock(s_->mu);
    s_->cancelled = true;
    s_->cv.notify_all();
  }

 private:
  struct Shared {
    std::mutex mu;
    std::condition_variable cv;
    std::function<void()> call;
    bool done = false, cancelled = false, quit = false;
  };
  static void Loop(Shared& s) {
    std::unique_lock<std::mutex> lock(s.mu);
    for (;;) {
      s.cv.wait(lock, [&] { return s.call || s.quit || s.cancelled; });
      if (!s.call) return;
      std::function<void()> call = std::move(s.call);
      s.call = nullptr;
      lock.unlock();
      call();
      lock.lock();
      s.done = true;
      s.cv.notify_all();
    }
  }
  std::shared_ptr<Shared> s_;
};

// What a call on the call thread fills in; shared so that one given up on
// still has it.
struct CallResult {
  BOOL ok = FALSE;
  DWORD got = 0;
  std::vector<char> data;
};

class Win32Request : public HttpRequest {
 public:
  Win32Request(HINTERNET h, int timeout_ms) : h_(h) {
    if (timeout_ms > 0) SetTimeouts(h, timeout_ms);
  }

  bool Send() override {
    HINTERNET h = h_.get();
    if (!h) return false;
    auto result = std::make_shared<CallResult>();
    if (!calls_.Run([h, result] { result->ok = HttpSendRequestW(h, nullptr, 0, nullptr, 0); }) || !result->ok)
      return false;
    // Some WinInets hand out what follows the announced body too; it is not
    // part of the reply.
    if (auto length = ContentLength(); length && !length->empty() && length->size() <= 18 &&
                                       length->find_first_not_of("0123456789") == std::string::npos)
      remaining_ = std::stoull(*length);
    return true;
  }

  int StatusCode() override {
    HINTERNET h = h_.get();
    DWORD status = 0, size = sizeof status;
    if (!h || !HttpQueryInfoW(h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
      return 0;
    return int(status);
  }

  std::optional<std::string> ContentLength() override {
    HINTERNET h = h_.get();
    wchar_t buffer[1024 / sizeof(wchar_t)] = {};
    DWORD size = sizeof buffer, index = 0;
    if (!h || !HttpQueryInfoW(h, HTTP_QUERY_CONTENT_LENGTH, buffer, &size, &index)) return std::nullopt;
    return Utf8(buffer, size / sizeof(wchar_t));
  }

  int Read(char* buffer, int size) override {
    HINTERNET h = h_.get();
    if (!h || size < 0) return -1;
    if (remaining_ && uint64_t(size) > *remaining_) size = int(*remaining_);
    auto result = std::make_shared<CallResult>();
    // One InternetReadFile may return less than asked; the caller is
    // promised a full buffer unless the body ends.
    if (!calls_.Run([h, result, size] {
          result->data.resize(size_t(size));
          result->ok = TRUE;
          while (result->got < DWORD(size)) {
            DWORD got = 0;
            if (!InternetReadFile(h, result->data.data() + result->got, DWORD(size) - result->got, &got)) {
              result->ok = result->got > 0;
              break;
            }
            if (got == 0) break;
            result->got += got;
          }
        }) ||
        !result->ok)
      return -1;
    std::copy(result->data.begin(), result->data.begin() + result->got, buffer);
    if (remaining_) *remaining_ -= result->got;
    return int(result->got);
  }

  void Cancel() override {
    h_.Close();
    calls_.Cancel();
  }

  static void SetTimeouts(HINTERNET h, int milliseconds) {
    DWORD ms = DWORD(milliseconds);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                         INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
      InternetSetOptionW(h, option, &ms, sizeof ms);
  }

 private:
  NetHandle h_;
  CallThread calls_;
  std::optional<uint64_t> remaining_;
};

class Win32Connection : public HttpConnection {
 public:
  Win32Connection(HINTERNET h, int timeout_ms) : h_(h), timeout_ms_(timeout_ms) {}

  std::unique_ptr<HttpRequest> OpenRequest(const HttpRequestOptions& options) override {
    std::wstring object = Wide(options.object);
    std::vector<std::wstring> accept;
    for (const std::string& a : options.accept_types) accept.push_back(Wide(a));
    std::vector<LPCWSTR> accept_list;
    for (const std::wstring& a : accept) accept_list.push_back(a.c_str());
    accept_list.push_back(nullptr);
    HINTERNET r = HttpOpenRequestW(h_.get(), L"GET", object.c_str(), L"HTTP/1.0", nullptr, accept_list.data(),
                                   options.flags, 0);
    if (!r) return nullptr;
    return std::make_unique<Win32Request>(r, timeout_ms_);
  }

 private:
  NetHandle h_;
  int timeout_ms_;
};

class Win32Session : public InternetSession {
 public:
  explicit Win32Session(HINTERNET h) : h_(h) {}

  // Set on every handle: some WinInets take them only from the request's.
  void SetTimeouts(int milliseconds) override {
    timeout_ms_ = milliseconds;
    Win32Request::SetTimeouts(h_.get(), milliseconds);
  }

  std::unique_ptr<HttpConnection> Connect(const std::string& host, int port) override {
    if (host.empty() || HasNul(host) || port <= 0 || port > 65535) return nullptr;
    std::wstring h = Wide(host);
    HINTERNET c = InternetConnectW(h_.get(), h.c_str(), INTERNET_PORT(port), nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0);
    if (!c) return nullptr;
    if (timeout_ms_ > 0) Win32Request::SetTimeouts(c, timeout_ms_);
    return std::make_unique<Win32Connection>(c, timeout_ms_);
  }

 private:
  NetHandle h_;
  int timeout_ms_ = 0;
};

}  // namespace

std::unique_ptr<InternetSession> Win32Network::Open(const std::string& agent) {
  std::wstring a = Wide(agent);
  HINTERNET h = InternetOpenW(a.empty() ? nullptr : a.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!h) return nullptr;
  return std::make_unique<Win32Session>(h);
}

}  // namespace platform::win32
