// vdriver [--desktop=NAME] [script]: runs a test script against a running Win32 program.
// Reads the script from the file or from stdin, prints what it does, and stops
// with "FAIL: <line>: <reason>" and exit status 1 at the first command that does not hold.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "driver.h"

namespace vd {
std::wstring g_desktop;
std::wstring g_self_dir;
}  // namespace vd

using namespace vd;

namespace {

struct Line {
  int number;
  std::string text;
  std::vector<std::string> words;
};

void emit(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

// The target may still be starting: its desktop appears with its first window.
bool enterDesktop(const std::wstring& name) {
  HDESK desk = nullptr;
  pollUntil(30000, [&] {
    desk = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL);
    return desk != nullptr;
  });
  return desk && SetThreadDesktop(desk);
}

// Ctrl-C must not look like a test that held.
BOOL WINAPI onInterrupt(DWORD) {
  emit("FAIL: 0: interrupted");
  ExitProcess(130);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  SetConsoleCtrlHandler(onInterrupt, TRUE);

  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  g_self_dir = self;
  g_self_dir = g_self_dir.substr(0, g_self_dir.find_last_of(L"\\/"));

  std::FILE* in = stdin;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--desktop=", 0) == 0) {
      g_desktop = wide(arg.substr(10));
    } else if (arg == "-h" || arg == "--help") {
      emit("usage: vdriver [--desktop=NAME] [script]   (script from stdin when not given)");
      emit("commands:");
      for (const Command& c : commands()) emit(std::string("  ") + c.name + " " + c.usage);
      return 0;
    } else if (in == stdin) {
      in = std::fopen(arg.c_str(), "rb");
      if (!in) {
        emit("FAIL: 0: cannot open script " + quoted(arg));
        return 1;
      }
    } else {
      emit("FAIL: 0: more than one script given");
      return 1;
    }
  }

  // Reads and checks the whole script first, so that a typo near the end
  // fails at once rather than after the slow part of the test.
  std::string script;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) script.append(buf, n);
  if (in != stdin) std::fclose(in);

  std::vector<Line> lines;
  int number = 0;
  for (size_t at = 0; at < script.size();) {
    size_t nl = script.find('\n', at);
    std::string text = trim(script.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
    at = nl == std::string::npos ? script.size() : nl + 1;
    ++number;
    if (text.empty() || text[0] == '#') continue;
    Line line{number, text, {}};
    try {
      line.words = tokenize(text);
    } catch (const Failure& f) {
      emit("FAIL: " + std::to_string(number) + ": " + text + ": " + f.what());
      return 1;
    }
    std::string bad = checkArity(line.words);
    if (!bad.empty()) {
      emit("FAIL: " + std::to_string(number) + ": " + text + ": " + bad);
      return 1;
    }
    lines.push_back(line);
  }

  if (!g_desktop.empty() && !enterDesktop(g_desktop)) {
    emit("FAIL: 0: cannot enter desktop " + quoted(g_desktop) + " (error " + std::to_string(GetLastError()) + ")");
    return 1;
  }

  for (const Line& line : lines) {
    emit("> " + line.text);
    Out out;
    try {
      runCommand(line.words, out);
    } catch (const Failure& f) {
      for (auto& s : out) emit("  " + s);
      emit("FAIL: " + std::to_string(line.number) + ": " + line.text + ": " + f.what());
      return 1;
    } catch (const std::exception& e) {
      emit("FAIL: " + std::to_string(line.number) + ": " + line.text + ": internal error: " + e.what());
      return 1;
    }
    for (auto& s : out) emit("  " + s);
  }
  emit("done: " + std::to_string(lines.size()) + " commands held");
  return 0;
}
