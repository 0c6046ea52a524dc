// The four autostart keys and the few registry steps that the scan and the
// doctor share: opening a key for reading and writing, reading a value as
// text, and cutting a command line into a path part and a name part.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace registry {

inline constexpr std::string_view kRunPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunOncePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

enum class KeyOpen {
  Opened,
  Missing,  // holds no autostart entries: nothing to do there
  Refused,  // exists, but may not be read and written
};

struct AutorunKey {
  KeyOpen status = KeyOpen::Missing;
  std::unique_ptr<platform::RegistryKey> key;  // set when Opened
};

// Opens an existing key for reading and writing; never creates one.
AutorunKey OpenAutorunKey(platform::Registry& registry, platform::RootKey root, std::string_view path,
                          platform::RegView view = platform::RegView::Native);

// The value's data as text, up to its first NUL as every text reader sees
// it; nullopt when the value is gone or is not of a text type.
std::optional<std::string> ReadText(platform::RegistryKey& key, const std::string& name);

// The command Windows runs for a value: its text up to the first NUL, and
// whether more data follows that NUL.
struct AutorunCommand {
  std::string text;
  bool more_after_nul = false;
  uint32_t type = uint32_t(platform::ValueType::Sz);  // Sz or ExpandSz
};
std::optional<AutorunCommand> ReadCommand(platform::RegistryKey& key, const std::string& name);

// A command line cut by plain text splitting: path is everything up to and
// including the last '\' or ':', name the rest. Quotes and arguments stay.
struct CommandParts {
  std::string path;
  std::string name;
};
CommandParts SplitCommandLine(std::string_view text);

}  // namespace registry
