// SHA-256, for telling file contents and long texts apart by a short name.
#pragma once
#include <string>
#include <string_view>

namespace platform {

// The digest of the bytes in lower-case hexadecimal (64 characters).
std::string Sha256Hex(std::string_view bytes);

}  // namespace platform
