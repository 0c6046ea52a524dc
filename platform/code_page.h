// Windows' single-byte ANSI code pages for Central European (1250),
// Cyrillic (1251), Western (1252) and Greek (1253) text: what the stand-ins
// of the system's ANSI code page can be set to.
#pragma once
#include <string>
#include <string_view>

namespace platform {

bool IsSupportedCodePage(unsigned code_page);
// Text in that code page as UTF-8; an unknown page is taken for 1252.
std::string DecodeCodePage(std::string_view bytes, unsigned code_page);

}  // namespace platform
