// Script text: tokens, numbers, and the UTF-8 <-> UTF-16 boundary.
#include <algorithm>
#include <cctype>

#include "driver.h"

namespace vd {

void fail(const std::string& reason) { throw Failure(reason); }

std::string utf8(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), (int)s.size(), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring wide(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), out.data(), n);
  return out;
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

std::string quoted(const std::wstring& s) { return quoted(utf8(s)); }

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)std::tolower(c); });
  return s;
}

std::vector<std::string> tokenize(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0, n = line.size();
  while (true) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    std::string word;
    bool any = false;
    while (i < n && line[i] != ' ' && line[i] != '\t') {
      if (line[i] != '"') {
        word += line[i++];
        any = true;
        continue;
      }
      // A quoted part; may sit next to unquoted text, as in a shell.
      any = true;
      ++i;
      bool closed = false;
      while (i < n) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < n) {
          char e = line[i];
          if (e == '"' || e == '\\') { word += e; ++i; continue; }
          if (e == 'n') { word += '\n'; ++i; continue; }
          if (e == 'r') { word += '\r'; ++i; continue; }
          if (e == 't') { word += '\t'; ++i; continue; }
        }
        word += c;
      }
      if (!closed) fail("unterminated quote");
    }
    if (any) words.push_back(word);
  }
  return words;
}

bool parseInt(const std::string& s, long long& out) {
  if (s.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '-') { neg = true; i = 1; }
  if (i >= s.size()) return false;
  long long v = 0;
  if (s.size() > i + 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    for (i += 2; i < s.size(); ++i) {
      int d = std::isdigit((unsigned char)s[i]) ? s[i] - '0'
              : (s[i] >= 'a' && s[i] <= 'f') ? s[i] - 'a' + 10
              : (s[i] >= 'A' && s[i] <= 'F') ? s[i] - 'A' + 10 : -1;
      if (d < 0 || v > (1LL << 40)) return false;
      v = v * 16 + d;
    }
  } else {
    for (; i < s.size(); ++i) {
      if (!std::isdigit((unsigned char)s[i]) || v > (1LL << 40)) return false;
      v = v * 10 + (s[i] - '0');
    }
  }
  out = neg ? -v : v;
  return true;
}

long long intArg(const std::string& s, const char* what) {
  long long v;
  if (!parseInt(s, v)) fail(std::string(what) + " must be a number, not " + quoted(s));
  return v;
}

DWORD msArg(const std::vector<std::string>& a, size_t i, DWORD fallback) {
  if (i >= a.size()) return fallback;
  long long v = intArg(a[i], "timeout_ms");
  if (v < 0 || v > 600000) fail("timeout_ms out of range: " + a[i]);
  return (DWORD)v;
}

bool pollUntil(DWORD timeout_ms, const std::function<bool()>& f) {
  DWORD start = GetTickCount();
  while (true) {
    if (f()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(50);
  }
}

}  // namespace vd
