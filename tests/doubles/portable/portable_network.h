// HTTP over plain sockets, enough to stand in for WinInet against a server
// on this machine: HTTP/1.0-style requests, replies read to their announced
// length or to the end of the connection. No TLS (a secure request fails to
// send), no proxy, no cache, no redirects, no authentication, no chunked
// replies. Not available in Windows builds, where Open fails.
#pragma once
#include "platform/network.h"

namespace platform::portable {

class PortableNetwork : public Network {
 public:
  std::unique_ptr<InternetSession> Open(const std::string& agent) override;
};

}  // namespace platform::portable
