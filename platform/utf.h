// Text in the logic is UTF-8; Windows' own text is UTF-16. Windows does not
// insist on well-formed UTF-16 (a registry value name may hold a lone
// surrogate), so such code units travel as their three-byte forms and every
// name read can be named back exactly.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Well-formed UTF-8, lone surrogates in their three-byte form allowed.
bool IsUtf8(std::string_view s);
// nullopt when s is not UTF-8: such text has no exact UTF-16 form.
std::optional<std::u16string> Utf16Exact(std::string_view s);
// For showing only: each byte that is not UTF-8 becomes U+FFFD.
std::u16string Utf16(std::string_view s);
// Exact for any UTF-16, well-formed or not.
std::string Utf8(std::u16string_view s);

// Length in UTF-16 code units, as Windows counts characters; a byte that is
// not UTF-8 counts as one.
size_t Utf16Units(std::string_view s);
// The longest start of s that has at most max_units such units and does not
// end inside a character.
std::string_view CutToUtf16Units(std::string_view s, size_t max_units);

}  // namespace platform
