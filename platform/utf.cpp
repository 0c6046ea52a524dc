#include "platform/utf.h"

#include <cstdint>
#include <cstring>

namespace platform {
namespace {

// Decodes one code point at s[i]; 0 when the bytes there are not UTF-8.
// Overlong forms and values beyond U+10FFFF are refused; surrogates are not.
size_t DecodeOne(std::string_view s, size_t i, char32_t& cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  size_t len;
  char32_t min;
  if ((b & 0xE0) == 0xC0) {
    len = 2, cp = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, cp = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF) return 0;
  return len;
}

void Append(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += char16_t(cp);
  } else {
    cp -= 0x10000;
    out += char16_t(0xD800 + (cp >> 10));
    out += char16_t(0xDC00 + (cp & 0x3FF));
  }
}

}  // namespace

bool IsUtf8(std::string_view s) {
  // Most text is ASCII: one quick pass, eight bytes at a time, settles it.
  size_t i = 0;
  for (uint64_t block; i + 8 <= s.size(); i += 8) {
    std::memcpy(&block, s.data() + i, 8);
    if (block & 0x8080808080808080ull) break;
  }
  while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  char32_t cp;
  while (i < s.size()) {
    size_t n = DecodeOne(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::optional<std::u16string> Utf16Exact(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = DecodeOne(s, i, cp);
    if (n == 0) return std::nullopt;
    Append(out, cp);
    i += n;
  }
  return out;
}

std::u16string Utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = DecodeOne(s, i, cp);
    if (n == 0) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    Append(out, cp);
    i += n;
  }
  return out;
}

std::string Utf8(std::u16string_view s) {
  // Sized first and written through a pointer: values can be megabytes
  // long. A pair counts six bytes here and takes four.
  size_t bytes = 0;
  for (char16_t unit : s) bytes += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
  std::string out(bytes, '\0');
  char* p = out.data();
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    // Runs of ASCII, the usual text, are copied as they are.
    while (i < n && s[i] < 0x80) *p++ = char(s[i++]);
    if (i == n) break;
    char32_t cp = s[i];
    // A pair makes one code point; a surrogate on its own stays as it is.
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x800) {
      *p++ = char(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *p++ = char(0xE0 | (cp >> 12));
      *p++ = char(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *p++ = char(0xF0 | (cp >> 18));
      *p++ = char(0x80 | ((cp >> 12) & 0x3F));
      *p++ = char(0x80 | ((cp >> 6) & 0x3F));
    }
    *p++ = char(0x80 | (cp & 0x3F));
  }
  out.resize(size_t(p - out.data()));
  return out;
}

size_t Utf16Units(std::string_view s) {
  size_t units = 0;
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    // ASCII, eight bytes at a time: a unit each.
    uint64_t block;
    if (i + 8 <= s.size() && (std::memcpy(&block, s.data() + i, 8), !(block & 0x8080808080808080ull))) {
      units += 8;
      i += 8;
      continue;
    }
    size_t n = DecodeOne(s, i, cp);
    units += n == 4 ? 2 : 1;
    i += n ? n : 1;
  }
  return units;
}

std::string_view CutToUtf16Units(std::string_view s, size_t max_units) {
  // No character takes less than a byte.
  if (s.size() <= max_units) return s;
  size_t units = 0;
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = DecodeOne(s, i, cp);
    size_t width = n == 4 ? 2 : 1;
    if (units + width > max_units) return s.substr(0, i);
    units += width;
    i += n ? n : 1;
  }
  return s;
}

}  // namespace platform
