// The profile-file parser under IniStore: one pass over the file's bytes that
// finds the sections and their lines as GetPrivateProfileString sees them,
// keeping byte offsets so that a write can change one line and leave every
// other byte of the file as it was.
//
// The reading rules, checked against the Win32 profile API:
// - a line ends at CR LF, LF or a lone CR;
// - blanks (space, tab, CR, LF, VT, FF and ^Z) around a line are ignored;
// - a line that starts with '[' and has a ']' after it is a section header,
//   the name being what stands between the '[' and the last ']', trimmed;
// - any other non-blank line is an entry of the section above it: its name is
//   the text before the first '=', its value the text after it, both trimmed;
//   a line without '=' (a comment, garbage) is an entry without a value;
// - lines before the first header form a section named "";
// - names match without regard to ASCII case; the first section of a name and
//   within it the first entry of a name win, the rest are never seen;
// - a name or value stops at a NUL byte, as a C string would;
// - a UTF-8 byte order mark at the start is skipped;
// - each name and value on its own is UTF-8 when its bytes are, and text in
//   the system's ANSI code page otherwise (lists written before UTF-8).
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace registry::ini {

// Turns text in the system's ANSI code page into UTF-8.
using AnsiDecoder = std::function<std::string(std::string_view)>;
// text itself when it is UTF-8, else what ansi makes of it (without a
// decoder: the bytes as they are).
std::string AsUtf8(std::string_view text, const AnsiDecoder& ansi);

bool IsBlank(char c);
std::string_view Trim(std::string_view s);
std::string_view TrimLeft(std::string_view s);
// What a C string API would see of s.
std::string_view UpToNul(std::string_view s);
// Starts with a UTF-8 or UTF-16 byte order mark.
bool StartsWithMark(std::string_view s);
// A value as a read returns it: one pair of enclosing quotes (" or ') removed.
std::string_view Unquote(std::string_view value);
// The text to write after '=' so that a read gives value back exactly: value
// itself when the reading rules leave it alone, otherwise value inside one
// extra pair of double quotes, which the read removes again.
std::string Protect(std::string_view value);

struct Span {
  size_t pos = 0;
  size_t len = 0;
};

// A non-blank line that is not a section header.
struct Entry {
  size_t line_begin = 0;   // first byte of the line
  size_t content_end = 0;  // where its line break (if any) starts
  Span name;
  Span value;
  bool has_value = false;
};

struct Section {
  Span name;
  bool has_header = false;  // false only for the part before the first header
  size_t begin = 0;         // first byte of the header line (or of the text)
  size_t end = 0;           // first byte of the next header line, or the end
  size_t first_entry = 0;   // index into Document::entries()
  size_t entry_count = 0;
  // Where a new entry goes: after the section's last non-blank line.
  size_t insert_at = 0;
  bool insert_needs_break = false;  // that line is the last one and unterminated
};

class Document {
 public:
  explicit Document(std::string bytes, AnsiDecoder ansi = {});

  const std::string& bytes() const { return bytes_; }
  // Starts with a UTF-16 byte order mark: text this engine does not read.
  bool utf16() const { return utf16_; }
  // The part before the first header comes first, so it always exists.
  const std::vector<Section>& sections() const { return sections_; }
  const std::vector<Entry>& entries() const { return entries_; }

  // Names as the caller gave them, already trimmed and cut at NUL.
  const Section* FindSection(std::string_view name) const;
  const Entry* FindEntry(const Section& section, std::string_view name) const;

  std::string_view Text(Span span) const { return std::string_view(bytes_).substr(span.pos, span.len); }
  // A name or value of the file as UTF-8.
  std::string Utf8Text(Span span) const { return AsUtf8(Text(span), ansi_); }

 private:
  void Parse();

  std::string bytes_;
  AnsiDecoder ansi_;
  bool utf16_ = false;
  std::vector<Section> sections_;
  std::vector<Entry> entries_;
  // Lower-cased name -> first section of that name.
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace registry::ini
