// The update site of the end-to-end tests: serves a folder on 127.0.0.1 on
// a free port until it is told to stop (SIGTERM or SIGINT).
//   http_site --root <folder> --port-file <file> [--pause <path>:<bytes>:<ms>]...
// --pause sends the first <bytes> of that file, waits <ms>, then the rest.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "tests/support/http_server.h"

int main(int argc, char** argv) {
  std::string root, port_file;
  struct Pause {
    std::string path;
    long bytes;
    int ms;
  };
  std::vector<Pause> pauses;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string key = argv[i], value = argv[i + 1];
    if (key == "--root") {
      root = value;
    } else if (key == "--port-file") {
      port_file = value;
    } else if (key == "--pause") {
      size_t a = value.rfind(':'), b = a == std::string::npos ? a : value.rfind(':', a - 1);
      if (b == std::string::npos || b == 0) {
        std::cerr << "http_site: --pause takes <path>:<bytes>:<ms>\n";
        return 2;
      }
      pauses.push_back({value.substr(0, b), std::stol(value.substr(b + 1, a - b - 1)), std::stoi(value.substr(a + 1))});
    } else {
      std::cerr << "http_site: unknown option " << key << "\n";
      return 2;
    }
  }
  if (root.empty() || port_file.empty()) {
    std::cerr << "usage: http_site --root <folder> --port-file <file> [--pause <path>:<bytes>:<ms>]...\n";
    return 2;
  }
  // Blocked before any thread starts, so that only sigwait sees them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  testhttp::Server server;
  if (!server.Listening()) {
    std::cerr << "http_site: cannot listen on 127.0.0.1\n";
    return 1;
  }
  server.ServeFolder(root);
  for (const Pause& p : pauses) {
    std::ifstream in(std::filesystem::path(root) / std::filesystem::path(p.path).relative_path(), std::ios::binary);
    if (!in) {
      std::cerr << "http_site: no file for --pause " << p.path << "\n";
      return 2;
    }
    testhttp::Reply reply = testhttp::Text(200, std::string(std::istreambuf_iterator<char>(in), {}));
    reply.pause_after = p.bytes;
    reply.pause_ms = p.ms;
    server.Route(p.path, reply);
  }
  {
    std::string temp = port_file + ".new";
    std::ofstream(temp) << server.Port() << "\n";
    std::rename(temp.c_str(), port_file.c_str());
  }
  int signal = 0;
  sigwait(&stop, &signal);
  for (const auto& r : server.Requests()) std::cerr << "http_site: " << r.method << " " << r.target << "\n";
  server.Stop();
  return 0;
}
