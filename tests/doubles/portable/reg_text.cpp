#include "tests/doubles/portable/reg_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "platform/text.h"

namespace platform::portable {
namespace {

struct RootSpelling {
  RootKey root;
  const char* name;
  const char* abbreviation;
};

constexpr std::array<RootSpelling, 5> kRoots = {{
    {RootKey::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {RootKey::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RootKey::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RootKey::Users, "HKEY_USERS", "HKU"},
    {RootKey::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
}};

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1..max_digits hex digits, nothing else.
std::optional<uint32_t> ParseHex(const std::string& s, size_t max_digits) {
  if (s.empty() || s.size() > max_digits) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + uint32_t(d);
  }
  return v;
}

// A quoted string starting at s[pos]; on success pos is just past the
// closing quote. Regedit escapes only the backslash and the quote; any other
// backslash is kept as it is.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  out.clear();
  for (size_t i = pos + 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out += s[++i];
    } else {
      out += c;
    }
  }
  return false;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::optional<std::string> ParseHexBytes(const std::string& list) {
  std::string bytes;
  size_t start = 0;
  std::string body = Trim(list);
  if (body.empty()) return bytes;
  // Regedit leaves a comma before each line break; after joining the lines
  // a final one may remain.
  if (body.back() == ',') body.pop_back();
  while (start <= body.size()) {
    size_t comma = body.find(',', start);
    std::string token = Trim(body.substr(start, comma == std::string::npos ? std::string::npos
                                                                            : comma - start));
    auto v = ParseHex(token, 2);
    if (!v) return std::nullopt;
    bytes += char(*v);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return bytes;
}

// UTF-16LE as the ANSI functions would hand it out: Latin-1 passes through,
// anything wider becomes '?'.
std::optional<std::string> NarrowFromUtf16(const std::string& bytes) {
  if (bytes.size() % 2) return std::nullopt;
  std::string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    unsigned unit = uint8_t(bytes[i]) | (unsigned(uint8_t(bytes[i + 1])) << 8);
    out += unit < 0x100 ? char(unit) : '?';
  }
  return out;
}

std::string WidenToUtf16(const std::string& narrow) {
  std::string out;
  out.reserve(narrow.size() * 2);
  for (char c : narrow) {
    out += c;
    out += '\0';
  }
  return out;
}

std::string HexList(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", unsigned(uint8_t(bytes[i])));
    if (i) out += ',';
    out += buf;
  }
  return out;
}

bool IsTextType(uint32_t type) {
  return type == uint32_t(ValueType::Sz) || type == uint32_t(ValueType::ExpandSz);
}

// The data after "=": "-", a quoted string, dword:, hex: or hex(N):.
// Returns false when malformed; sets *remove for "-".
bool ParseData(const std::string& data, bool unicode, RegValue& value, bool* remove) {
  *remove = false;
  if (data == "-") {
    *remove = true;
    return true;
  }
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(data, pos, text) || !Trim(data.substr(pos)).empty()) return false;
    value = {uint32_t(ValueType::Sz), text};
    return true;
  }
  auto colon = data.find(':');
  if (colon == std::string::npos) return false;
  std::string kind = Trim(data.substr(0, colon));
  std::string rest = data.substr(colon + 1);
  if (SameAsciiCaseless(kind, "dword")) {
    auto v = ParseHex(Trim(rest), 8);
    if (!v) return false;
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = char((*v >> (8 * i)) & 0xff);
    value = {uint32_t(ValueType::Dword), bytes};
    return true;
  }
  uint32_t type = 0;
  if (SameAsciiCaseless(kind, "hex")) {
    type = uint32_t(ValueType::Binary);
  } else if (kind.size() > 5 && SameAsciiCaseless(kind.substr(0, 4), "hex(") &&
             kind.back() == ')') {
    auto v = ParseHex(kind.substr(4, kind.size() - 5), 8);
    if (!v) return false;
    type = *v;
  } else {
    return false;
  }
  auto bytes = ParseHexBytes(rest);
  if (!bytes) return false;
  bool text = IsTextType(type) || type == uint32_t(ValueType::MultiSz);
  if (text && unicode) {
    bytes = NarrowFromUtf16(*bytes);
    if (!bytes) return false;
  }
  if (IsTextType(type) && !bytes->empty() && bytes->back() == '\0') bytes->pop_back();
  value = {type, *bytes};
  return true;
}

struct Line {
  size_t number;
  std::string text;
};

// Physical lines joined where a value line ends in a backslash.
std::vector<Line> LogicalLines(const std::string& text) {
  std::vector<std::string> raw;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    raw.push_back(line);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  if (!raw.empty() && raw[0].rfind("\xEF\xBB\xBF", 0) == 0) raw[0].erase(0, 3);

  std::vector<Line> lines;
  for (size_t i = 0; i < raw.size(); ++i) {
    Line line{i + 1, Trim(raw[i])};
    bool value_line = !line.text.empty() && (line.text[0] == '"' || line.text[0] == '@');
    while (value_line && !line.text.empty() && line.text.back() == '\\' && i + 1 < raw.size()) {
      line.text.pop_back();
      line.text += Trim(raw[++i]);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

std::string RootName(RootKey root) {
  for (const auto& r : kRoots) {
    if (r.root == root) return r.name;
  }
  return {};
}

std::optional<RootKey> ParseRootName(const std::string& name) {
  for (const auto& r : kRoots) {
    if (SameAsciiCaseless(name, r.name) || SameAsciiCaseless(name, r.abbreviation)) return r.root;
  }
  return std::nullopt;
}

RegScript ParseRegText(const std::string& text) {
  RegScript script;
  bool unicode = true;  // version 5 unless the text says REGEDIT4
  bool seen_section = false;
  std::optional<RegOp> section;  // the key that value lines apply to

  for (const Line& line : LogicalLines(text)) {
    const std::string& s = line.text;
    if (s.empty() || s[0] == ';') continue;
    auto skip = [&] { script.skipped_lines.push_back(line.number); };

    if (!seen_section && s == "REGEDIT4") {
      unicode = false;
      continue;
    }
    if (!seen_section && s.rfind("Windows Registry Editor Version", 0) == 0) {
      unicode = true;
      continue;
    }

    if (s[0] == '[') {
      seen_section = true;
      section.reset();
      if (s.back() != ']') {
        skip();
        continue;
      }
      std::string inner = s.substr(1, s.size() - 2);
      bool remove = !inner.empty() && inner[0] == '-';
      if (remove) inner.erase(0, 1);
      size_t slash = inner.find('\\');
      auto root = ParseRootName(inner.substr(0, slash));
      std::string path = slash == std::string::npos ? "" : inner.substr(slash + 1);
      if (!root || (remove && path.find_first_not_of('\\') == std::string::npos)) {
        skip();  // unknown root, or an attempt to delete a whole root
        continue;
      }
      RegOp op;
      op.line = line.number;
      op.root = *root;
      op.path = path;
      op.kind = remove ? RegOp::kDeleteKey : RegOp::kCreateKey;
      script.ops.push_back(op);
      if (!remove) section = op;
      continue;
    }

    if (s[0] != '"' && s[0] != '@') {
      skip();
      continue;
    }
    if (!section) {
      skip();  // a value with no valid key above it
      continue;
    }
    std::string name;
    size_t pos = 0;
    if (s[0] == '@') {
      pos = 1;
    } else if (!ParseQuoted(s, pos, name)) {
      skip();
      continue;
    }
    std::string after = Trim(s.substr(pos));
    if (after.empty() || after[0] != '=') {
      skip();
      continue;
    }
    RegOp op = *section;
    op.line = line.number;
    op.name = name;
    bool remove = false;
    if (!ParseData(Trim(after.substr(1)), unicode, op.value, &remove)) {
      skip();
      continue;
    }
    op.kind = remove ? RegOp::kDeleteValue : RegOp::kSetValue;
    script.ops.push_back(std::move(op));
  }
  return script;
}

std::string FormatKeyLine(RootKey root, const std::string& path) {
  std::string line = "[";
  line += RootName(root);
  if (!path.empty()) {
    line += '\\';
    line += path;
  }
  line += ']';
  return line;
}

std::string FormatValueLine(const std::string& name, const RegValue& value) {
  std::string line = (name.empty() ? std::string("@") : Quote(name)) + "=";
  const std::string& d = value.data;
  if (value.type == uint32_t(ValueType::Sz) && d.find_first_of(std::string("\r\n\0", 3)) ==
                                                   std::string::npos) {
    return line + Quote(d);
  }
  if (value.type == uint32_t(ValueType::Dword) && d.size() == 4) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | uint8_t(d[i]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", unsigned(v));
    return line + "dword:" + buf;
  }
  if (value.type == uint32_t(ValueType::Binary)) return line + "hex:" + HexList(d);
  std::string bytes = d;
  if (IsTextType(value.type)) bytes = WidenToUtf16(d) + std::string(2, '\0');
  if (value.type == uint32_t(ValueType::MultiSz)) bytes = WidenToUtf16(d);
  char kind[24];
  std::snprintf(kind, sizeof kind, "hex(%x):", unsigned(value.type));
  return line + kind + HexList(bytes);
}

}  // namespace platform::portable
