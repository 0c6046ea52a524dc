#include "registry/ini_parse.h"

#include <cstring>

#include "platform/text.h"
#include "platform/utf.h"

namespace registry::ini {
namespace {

std::string Lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = platform::AsciiLower(c);
  return out;
}

// The first c in [from, end), or end.
const char* Find(const char* from, const char* end, char c) {
  const void* hit = std::memchr(from, c, size_t(end - from));
  return hit ? static_cast<const char*>(hit) : end;
}

}  // namespace

std::string AsUtf8(std::string_view text, const AnsiDecoder& ansi) {
  if (!ansi || platform::IsUtf8(text)) return std::string(text);
  return ansi(text);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

bool StartsWithMark(std::string_view s) {
  return s.substr(0, 3) == "\xef\xbb\xbf" || s.substr(0, 2) == "\xff\xfe" || s.substr(0, 2) == "\xfe\xff";
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::string Protect(std::string_view value) {
  if (Unquote(Trim(value)) == value) return std::string(value);
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted.append(1, '"').append(value).append(1, '"');
  return quoted;
}

Document::Document(std::string bytes, AnsiDecoder ansi) : bytes_(std::move(bytes)), ansi_(std::move(ansi)) {
  utf16_ = bytes_.size() >= 2 && ((bytes_[0] == '\xff' && bytes_[1] == '\xfe') ||
                                  (bytes_[0] == '\xfe' && bytes_[1] == '\xff'));
  Parse();
}

void Document::Parse() {
  const char* const base = bytes_.data();
  const char* const end = base + bytes_.size();
  const char* p = base;
  if (bytes_.compare(0, 3, "\xef\xbb\xbf") == 0) p += 3;

  sections_.push_back(Section{});
  Section* current = &sections_.back();
  current->begin = current->insert_at = size_t(p - base);
  index_.emplace(std::string(), 0);
  if (utf16_) {
    current->end = bytes_.size();
    return;
  }

  auto span = [base](const char* b, const char* e) {
    std::string_view text = UpToNul(std::string_view(b, size_t(e - b)));
    return Span{size_t(b - base), text.size()};
  };

  // The next LF and CR are remembered, so that a file with only one kind of
  // line break is not searched again from every line.
  const char* next_lf = nullptr;
  const char* next_cr = nullptr;
  while (p < end) {
    if (!next_lf || next_lf < p) next_lf = Find(p, end, '\n');
    if (!next_cr || next_cr < p) next_cr = Find(p, end, '\r');
    const char* line_end = next_lf < next_cr ? next_lf : next_cr;
    const char* next = line_end;
    if (next < end) next += (*next == '\r' && next + 1 < end && next[1] == '\n') ? 2 : 1;

    const char* b = p;
    const char* e = line_end;
    while (b < e && IsBlank(*b)) ++b;
    while (e > b && IsBlank(e[-1])) --e;
    const size_t line_begin = size_t(p - base);
    p = next;
    if (b == e) continue;

    if (*b == '[') {
      const char* close = e - 1;
      while (close > b && *close != ']') --close;
      if (close > b) {
        current->end = line_begin;
        Section section;
        section.has_header = true;
        std::string_view name = Trim(std::string_view(b + 1, size_t(close - b - 1)));
        section.name = span(name.data(), name.data() + name.size());
        section.begin = line_begin;
        section.first_entry = entries_.size();
        section.insert_at = size_t(next - base);
        section.insert_needs_break = line_end == end;
        index_.emplace(Lowered(Utf8Text(section.name)), sections_.size());
        sections_.push_back(section);
        current = &sections_.back();
        continue;
      }
      // "[" without a closing bracket is an ordinary line.
    }

    Entry entry;
    entry.line_begin = line_begin;
    entry.content_end = size_t(line_end - base);
    const char* eq = Find(b, e, '=');
    const char* name_end = eq;
    while (name_end > b && IsBlank(name_end[-1])) --name_end;
    entry.name = span(b, name_end);
    if (eq < e) {
      const char* v = eq + 1;
      while (v < e && IsBlank(*v)) ++v;
      entry.value = span(v, e);
      entry.has_value = true;
    }
    entries_.push_back(entry);
    current->entry_count++;
    current->insert_at = size_t(next - base);
    current->insert_needs_break = line_end == end;
  }
  current->end = bytes_.size();
}

const Section* Document::FindSection(std::string_view name) const {
  auto it = index_.find(Lowered(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

const Entry* Document::FindEntry(const Section& section, std::string_view name) const {
  for (size_t i = section.first_entry; i < section.first_entry + section.entry_count; ++i) {
    std::string_view raw = Text(entries_[i].name);
    // Most names are ASCII: only the others are decoded.
    if (platform::IsUtf8(raw) ? platform::SameAsciiCaseless(raw, name) : platform::SameAsciiCaseless(Utf8Text(entries_[i].name), name))
      return &entries_[i];
  }
  return nullptr;
}

}  // namespace registry::ini
