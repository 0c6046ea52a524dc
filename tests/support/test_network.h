// The network the tests talk to their loopback server through: sockets on
// the host, WinInet under Wine.
#pragma once
#ifdef _WIN32
#include "platform/win32/win32_network.h"
#else
#include "tests/doubles/portable/portable_network.h"
#endif

namespace testhttp {

inline platform::Network& TestNetwork() {
#ifdef _WIN32
  static platform::win32::Win32Network network;
#else
  static platform::portable::PortableNetwork network;
#endif
  return network;
}

}  // namespace testhttp
