// Reading and writing registry contents in the .reg text format of Regedit.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform::portable {

struct RegOp {
  enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = kCreateKey;
  RootKey root = RootKey::LocalMachine;
  std::string path;
  std::string name;  // the value's name; "" is the default value
  RegValue value;
  size_t line = 0;  // where the text said it, 1-based
};

struct RegScript {
  std::vector<RegOp> ops;
  std::vector<size_t> skipped_lines;  // 1-based
};

// Parses the whole text. Malformed lines are skipped, as are the values of a
// section whose key line was malformed, so that one bad line costs no more
// than itself.
RegScript ParseRegText(const std::string& text);

// "[HKEY_...\path]" for a key.
std::string FormatKeyLine(RootKey root, const std::string& path);
// One value line in the version 5 format (text in hex(N) is UTF-16LE).
std::string FormatValueLine(const std::string& name, const RegValue& value);

std::string RootName(RootKey root);
std::optional<RootKey> ParseRootName(const std::string& name);

}  // namespace platform::portable
