#include "registry/ini_store.h"

#include "platform/utf.h"
#include "registry/ini_parse.h"

namespace registry {
namespace {

using ini::Trim;
using ini::TrimLeft;
using ini::UpToNul;

// A name as the profile API looks it up.
std::string_view LookupName(std::string_view name) { return Trim(UpToNul(name)); }

// Cut to what a buffer of 2048 characters holds, never inside a character.
std::string Returned(std::string text) {
  text.resize(platform::CutToUtf16Units(text, IniStore::kMaxRead).size());
  return text;
}

// Text that would not read back as the same section, key and value.
bool Unsafe(std::string_view section, std::string_view key, std::string_view value) {
  auto breaks = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  // Text that is not UTF-8 would read back as the ANSI code page's.
  return !platform::IsUtf8(section) || !platform::IsUtf8(key) || !platform::IsUtf8(value) ||
         breaks(section) || breaks(key) || breaks(value) ||
         section.find(']') != std::string_view::npos ||
         key.find('=') != std::string_view::npos || TrimLeft(key).substr(0, 1) == "[";
}

constexpr std::string_view kBreak = "\r\n";

}  // namespace

bool StoreLock::Take() {
  if (depth_ == 0 && !(held_ = files_.Lock(path_, kWaitMs))) return false;
  ++depth_;
  return true;
}

void StoreLock::Release() {
  if (--depth_ == 0) held_.reset();
}

IniStore::IniStore(platform::Files& files, std::string path, StoreLock* lock)
    : files_(files), path_(std::move(path)), lock_(lock) {}

IniStore::~IniStore() = default;

IniStore::Batch::Batch(IniStore& store) : store_(store) {
  if (store_.batches_++ == 0) store_.checked_in_batch_ = false;
}

IniStore::Batch::~Batch() { --store_.batches_; }

IniStore::Held::Held(IniStore& store) : lock_(store.lock_) {
  if (lock_ && !lock_->Take()) throw WriteError(store.path_);
}

IniStore::Held::~Held() {
  if (lock_) lock_->Release();
}

IniStore::Change::Change(IniStore& store) : held_(store), batch_(store) {
  // What was read before the lock was had may be another copy's past.
  store.cache_trusted_ = false;
  store.checked_in_batch_ = false;
}

const ini::Document* IniStore::Current() {
  // Within a batch the disk is looked at once: a missing file stays missing.
  if (batches_ > 0 && checked_in_batch_ && (!cache_ || cache_trusted_)) return cache_.get();
  checked_in_batch_ = batches_ > 0;
  platform::FileStamp stamp = files_.Stat(path_);
  if (cache_ && cache_trusted_ && stamp == cache_stamp_) return cache_.get();
  const bool had = cache_ != nullptr;
  cache_.reset();
  std::optional<std::string> bytes = stamp.exists ? files_.ReadAll(path_) : std::nullopt;
  if (!bytes) {
    if (had) ++version_;  // gone since it was read
    return nullptr;
  }
  // A file that changed since the stamp was taken serves this read only.
  cache_trusted_ = bytes->size() == stamp.size;
  cache_stamp_ = stamp;
  ++version_;
  cache_ = std::make_unique<ini::Document>(std::move(*bytes), Ansi());
  return cache_.get();
}

uint64_t IniStore::Version() {
  Current();
  return version_;
}

std::optional<std::string> IniStore::Find(std::string_view section, std::string_view key) {
  if (const ini::Document* doc = Current()) {
    if (const ini::Section* s = doc->FindSection(LookupName(section))) {
      const ini::Entry* e = doc->FindEntry(*s, LookupName(key));
      if (e && e->has_value) return Returned(ini::AsUtf8(ini::Unquote(doc->Text(e->value)), Ansi()));
    }
  }
  return std::nullopt;
}

std::string IniStore::ReadString(std::string_view section, std::string_view key,
                                 std::string_view default_value) {
  if (std::optional<std::string> found = Find(section, key)) return std::move(*found);
  // Trailing spaces of the default go, as the profile API documents.
  std::string_view fallback = UpToNul(default_value);
  while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
  return Returned(std::string(ini::Unquote(fallback)));
}

ini::AnsiDecoder IniStore::Ansi() {
  return [&files = files_](std::string_view bytes) { return files.AnsiToUtf8(bytes); };
}

std::optional<std::string> IniStore::LoadForWrite() {
  // Writes always start from the disk: another program may have changed it.
  cache_.reset();
  checked_in_batch_ = false;
  ++version_;
  std::optional<std::string> bytes = files_.ReadAll(path_);
  // A file that is there but cannot be read must not be replaced by a new one.
  if (!bytes && files_.Exists(path_)) throw WriteError(path_);
  return bytes;
}

void IniStore::Store(const std::string& bytes) {
  if (!files_.Replace(path_, bytes)) throw WriteError(path_);
}

void IniStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  WriteStrings({{section, key, value}});
}

void IniStore::WriteStrings(const std::vector<Write>& writes) {
  std::vector<Write> checked;
  checked.reserve(writes.size());
  for (const Write& w : writes) {
    const Write cut{UpToNul(w.section), UpToNul(w.key), UpToNul(w.value)};
    if (Unsafe(cut.section, cut.key, cut.value)) throw WriteError(path_);
    // A longer value could only ever be read back cut short.
    if (platform::Utf16Units(cut.value) > kMaxRead) throw WriteError(path_);
    checked.push_back(cut);
  }
  Held held(*this);
  const std::string before = LoadForWrite().value_or(std::string());
  std::string bytes = before;
  for (const Write& w : checked) bytes = WithValue(std::move(bytes), w);
  if (bytes != before) Store(bytes);
}

std::string IniStore::WithValue(std::string bytes_in, const Write& write) {
  ini::Document doc(std::move(bytes_in), Ansi());
  if (doc.utf16()) throw WriteError(path_);
  const std::string& bytes = doc.bytes();
  // Blanks around the value and enclosing quotes would be lost on reading,
  // so such a value goes into the file inside one more pair of quotes.
  const std::string protected_value = ini::Protect(write.value);
  std::string_view new_value = protected_value;

  std::string out;
  const ini::Section* s = doc.FindSection(Trim(write.section));
  const ini::Entry* e = s ? doc.FindEntry(*s, Trim(write.key)) : nullptr;
  if (e) {
    if (e->has_value && doc.Text(e->value) == new_value) return bytes;  // nothing to change
    out.reserve(bytes.size() + new_value.size() + 2);
    out.append(bytes, 0, e->line_begin);
    out.append(doc.Text(e->name)).append("=").append(new_value);
    out.append(bytes, e->content_end);  // the line keeps its own line break
  } else {
    std::string lines;
    if (!s) lines.append("[").append(TrimLeft(write.section)).append("]").append(kBreak);
    lines.append(TrimLeft(write.key)).append("=").append(new_value).append(kBreak);
    size_t at = s ? s->insert_at : bytes.size();
    bool needs_break = s ? s->insert_needs_break
                         : !bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r';
    out.reserve(bytes.size() + lines.size() + 2);
    out.append(bytes, 0, at);
    if (needs_break) out.append(kBreak);
    out.append(lines);
    out.append(bytes, at);
  }
  // A key line that now starts the file with the bytes of a byte order mark
  // would not read back, and could make the whole file look like UTF-16.
  if (ini::StartsWithMark(out) && !ini::StartsWithMark(bytes)) throw WriteError(path_);
  return out;
}

void IniStore::EraseSection(std::string_view section) {
  Held held(*this);
  std::optional<std::string> bytes = LoadForWrite();
  if (!bytes) return;
  ini::Document doc(std::move(*bytes), Ansi());
  if (doc.utf16()) return;  // holds no section this engine can see
  const ini::Section* s = doc.FindSection(LookupName(section));
  if (!s || s->begin == s->end) return;
  std::string out = doc.bytes().substr(0, s->begin);
  out.append(doc.bytes(), s->end);
  Store(out);
}

}  // namespace registry
