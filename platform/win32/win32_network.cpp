#include "platform/win32/win32_network.h"

#include <atomic>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_utf16.h"
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

class Win32Request : public HttpRequest {
 public:
  explicit Win32Request(HINTERNET h) : h_(h) {}

  bool Send(const std::string& headers, const std::string& body) override {
    HINTERNET h = h_.get();
    if (!h) return false;
    std::wstring w = Utf8ToUtf16(headers);
    return HttpSendRequestW(h, w.empty() ? nullptr : w.c_str(), DWORD(w.size()),
                            body.empty() ? nullptr : const_cast<char*>(body.data()), DWORD(body.size()));
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
    return Utf16ToUtf8(std::wstring(buffer, size / sizeof(wchar_t)));
  }

  int Read(char* buffer, int size) override {
    // One call may return less than asked; the caller is promised a full
    // buffer unless the body ends.
    int total = 0;
    while (total < size) {
      HINTERNET h = h_.get();
      DWORD got = 0;
      if (!h || !InternetReadFile(h, buffer + total, DWORD(size - total), &got)) return total > 0 ? total : -1;
      if (got == 0) break;
      total += int(got);
    }
    return total;
  }

  void Cancel() override { h_.Close(); }

 private:
  NetHandle h_;
};

class Win32Connection : public HttpConnection {
 public:
  explicit Win32Connection(HINTERNET h) : h_(h) {}

  std::unique_ptr<HttpRequest> OpenRequest(const HttpRequestSpec& spec) override {
    std::wstring verb = Utf8ToUtf16(spec.verb), object = Utf8ToUtf16(spec.object),
                 version = Utf8ToUtf16(spec.version), referer = Utf8ToUtf16(spec.referer);
    std::vector<std::wstring> accept;
    for (const std::string& a : spec.accept_types) accept.push_back(Utf8ToUtf16(a));
    std::vector<LPCWSTR> accept_list;
    for (const std::wstring& a : accept) accept_list.push_back(a.c_str());
    accept_list.push_back(nullptr);
    HINTERNET r = HttpOpenRequestW(h_.get(), verb.c_str(), object.c_str(), version.c_str(),
                                   referer.empty() ? nullptr : referer.c_str(), accept_list.data(), spec.flags, 0);
    if (!r) return nullptr;
    return std::make_unique<Win32Request>(r);
  }

 private:
  NetHandle h_;
};

class Win32Session : public InternetSession {
 public:
  explicit Win32Session(HINTERNET h) : h_(h) {}

  void SetTimeouts(int milliseconds) override {
    DWORD ms = DWORD(milliseconds);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                         INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
      InternetSetOptionW(h_.get(), option, &ms, sizeof ms);
  }

  std::unique_ptr<HttpConnection> Connect(const std::string& host, int port, const std::string& user,
                                          const std::string& password) override {
    if (host.empty() || HasNul(host) || port <= 0 || port > 65535) return nullptr;
    std::wstring h = Utf8ToUtf16(host), u = Utf8ToUtf16(user), p = Utf8ToUtf16(password);
    HINTERNET c = InternetConnectW(h_.get(), h.c_str(), INTERNET_PORT(port), u.c_str(), p.c_str(),
                                   INTERNET_SERVICE_HTTP, 0, 0);
    if (!c) return nullptr;
    return std::make_unique<Win32Connection>(c);
  }

 private:
  NetHandle h_;
};

}  // namespace

std::unique_ptr<InternetSession> Win32Network::Open(const std::string& agent) {
  std::wstring a = Utf8ToUtf16(agent);
  HINTERNET h = InternetOpenW(a.empty() ? nullptr : a.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!h) return nullptr;
  return std::make_unique<Win32Session>(h);
}

}  // namespace platform::win32
