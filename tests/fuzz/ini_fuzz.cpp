// Arbitrary bytes as a profile file, then reads, writes and erases through
// IniStore over in-memory files, checking after each step that:
// - nothing crashes and no read returns more than 2047 characters (UTF-16
//   code units);
// - a store that kept its parsed copy reads what a fresh store reads;
// - a value written with acceptable text reads back;
// - every other section and key reads as before the step;
// - the file changed in one place only: a write replaces one line or inserts
//   lines, an erase removes a run of bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/text.h"
#include "platform/utf.h"
#include "registry/ini_parse.h"
#include "registry/ini_store.h"
#include "tests/support/mem_files.h"

namespace {

using registry::IniStore;
using registry::WriteError;
namespace ini = registry::ini;

constexpr const char* kPath = "C:\\Windows\\list.vlt";
// A default that is rarely a value, so that missing keys stand out.
constexpr const char* kDefault = "\x01" "default";

using testing_support::MemFiles;

// The step under test, printed when an invariant breaks.
std::string g_step;

std::string Show(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    char hex[8];
    std::snprintf(hex, sizeof hex, c < 32 || c >= 127 || c == '\\' ? "\\x%02x" : "%c", c);
    out += hex;
  }
  return out;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n%s\n", what, g_step.c_str());
    std::abort();
  }
}

using Pair = std::pair<std::string, std::string>;

// Names and values that are not UTF-8 are read in the ANSI code page, as the
// store over MemFiles reads them.
std::string Ansi(std::string_view bytes) { return platform::DecodeCodePage(bytes, 1252); }
ini::Document Doc(const std::string& bytes) { return ini::Document(bytes, Ansi); }

// Section and key names as they stand in the file, plus a few that do not.
std::vector<Pair> Names(const std::string& bytes) {
  ini::Document doc = Doc(bytes);
  std::vector<Pair> names;
  const auto& entries = doc.entries();
  for (const auto& s : doc.sections()) {
    for (size_t i = s.first_entry; i < s.first_entry + s.entry_count && names.size() < 64; ++i) {
      names.emplace_back(std::string(doc.Text(s.name)), std::string(doc.Text(entries[i].name)));
    }
    names.emplace_back(std::string(doc.Text(s.name)), "no such key");
  }
  names.emplace_back("no such section", "k");
  return names;
}

std::map<Pair, std::string> ReadAll(platform::Files& files, const std::vector<Pair>& names) {
  IniStore fresh(files, kPath);
  std::map<Pair, std::string> values;
  for (const auto& n : names) {
    std::string v = fresh.ReadString(n.first, n.second, kDefault);
    Check(platform::Utf16Units(v) <= IniStore::kMaxRead, "read longer than 2047");
    Check(platform::IsUtf8(v), "read is not UTF-8");
    values[n] = v;
  }
  return values;
}

// Text is taken up to a NUL, as the profile API takes C strings.
bool Acceptable(std::string_view section, std::string_view key, std::string_view value) {
  auto bad = [](std::string_view s, const char* chars) {
    return ini::UpToNul(s).find_first_of(chars) != std::string_view::npos;
  };
  auto utf8 = [](std::string_view s) { return platform::IsUtf8(ini::UpToNul(s)); };
  return !bad(section, "\r\n]") && !bad(key, "\r\n=") && !bad(value, "\r\n") &&
         utf8(section) && utf8(key) && utf8(value) &&
         platform::Utf16Units(ini::UpToNul(value)) <= IniStore::kMaxRead &&
         ini::TrimLeft(ini::UpToNul(key)).substr(0, 1) != "[";
}

// What a read gives for a written value: the value itself.
std::optional<std::string> ReadsBack(std::string_view value) { return std::string(ini::UpToNul(value)); }

// Lengths of the bytes a and b do not share at their start and end.
std::pair<size_t, size_t> Changed(const std::string& a, const std::string& b) {
  size_t limit = std::min(a.size(), b.size());
  size_t p = 0;
  while (p < limit && a[p] == b[p]) ++p;
  size_t s = 0;
  while (s < limit - p && a[a.size() - 1 - s] == b[b.size() - 1 - s]) ++s;
  return {a.size() - p - s, b.size() - p - s};
}

// A name as it stands in the file against a name as given.
bool SameName(std::string_view in_file, std::string_view given) {
  return platform::SameAsciiCaseless(ini::Trim(ini::AsUtf8(ini::UpToNul(in_file), Ansi)), ini::Trim(ini::UpToNul(given)));
}

std::string Name(FuzzedDataProvider& in, const std::vector<Pair>& names, bool key) {
  if (in.ConsumeBool()) {
    const Pair& p = names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)];
    return key ? p.second : p.first;
  }
  return in.ConsumeRandomLengthString(16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  MemFiles files;
  if (in.ConsumeBool()) files.data[kPath] = in.ConsumeRandomLengthString(4096);
  IniStore kept(files, kPath);

  for (int step = 0; step < 4 && in.remaining_bytes() > 0; ++step) {
    const std::optional<std::string> before_bytes =
        files.data.count(kPath) ? std::optional<std::string>(files.data[kPath]) : std::nullopt;
    const std::vector<Pair> names = Names(before_bytes.value_or(""));
    const auto before = ReadAll(files, names);
    for (const auto& [name, value] : before) {
      Check(kept.ReadString(name.first, name.second, kDefault) == value, "kept copy is stale");
    }

    const bool erase = in.ConsumeIntegralInRange(0, 3) == 0;
    std::string section = Name(in, names, false);
    std::string key = erase ? "" : Name(in, names, true);
    std::string value = erase ? "" : in.ConsumeRandomLengthString(64);
    g_step = "file: " + Show(before_bytes.value_or("(none)")) + "\n" + (erase ? "erase" : "write") +
             " [" + Show(section) + "] " + Show(key) + " = " + Show(value);
    bool refused = false;
    try {
      if (erase) {
        kept.EraseSection(section);
      } else {
        kept.WriteString(section, key, value);
      }
    } catch (const WriteError&) {
      refused = true;
    }
    const bool utf16 = Doc(before_bytes.value_or("")).utf16();
    if (erase) {
      Check(!refused, "erase refused");
    } else {
      // The one refusal that depends on the file: a key line that would open
      // the file with the bytes of a byte order mark.
      bool mark = false;
      if (std::string_view k = ini::TrimLeft(ini::UpToNul(key)); ini::StartsWithMark(k)) {
        ini::Document doc = Doc(before_bytes.value_or(""));
        const ini::Section* s = doc.FindSection(ini::Trim(ini::UpToNul(section)));
        const ini::Entry* e = s ? doc.FindEntry(*s, ini::Trim(k)) : nullptr;
        bool same = e && e->has_value && doc.Text(e->value) == ini::Protect(ini::UpToNul(value));
        mark = s && !same && (e ? e->line_begin == 0 : s->insert_at == 0);
      }
      Check(refused == (!Acceptable(section, key, value) || utf16 || mark), "write refused or accepted wrongly");
    }
    const std::optional<std::string> after_bytes =
        files.data.count(kPath) ? std::optional<std::string>(files.data[kPath]) : std::nullopt;
    if (refused) {
      Check(after_bytes == before_bytes, "refused write changed the file");
      continue;
    }
    if (erase && !before_bytes) Check(!after_bytes, "erase created the file");

    // The change is one region of the file.
    auto [removed, inserted] = Changed(before_bytes.value_or(""), after_bytes.value_or(""));
    if (erase) {
      Check(inserted == 0, "erase added bytes");
    } else {
      ini::Document doc = Doc(before_bytes.value_or(""));
      const ini::Section* s = doc.FindSection(ini::Trim(ini::UpToNul(section)));
      const ini::Entry* e = s ? doc.FindEntry(*s, ini::Trim(ini::UpToNul(key))) : nullptr;
      size_t old_line = e ? e->content_end - e->line_begin : 0;
      Check(removed <= old_line, "write removed more than the line it changed");
    }

    // The written value reads back; everything else reads as before.
    if (!erase) {
      if (auto expected = ReadsBack(value)) {
        Check(kept.ReadString(section, key, kDefault) == *expected, "written value does not read back");
      }
    }
    const auto after = ReadAll(files, names);
    for (const auto& [name, old_value] : before) {
      if (SameName(name.first, section) && (erase || SameName(name.second, key))) continue;
      Check(after.at(name) == old_value, "another key changed");
    }
  }
  return 0;
}
