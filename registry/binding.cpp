#include "registry/binding.h"

#include <algorithm>
#include <charconv>

#include "registry/program_facts.h"

namespace registry {

namespace {

uint64_t Number(const std::optional<std::string>& text) {
  uint64_t n = 0;
  if (text) std::from_chars(text->data(), text->data() + text->size(), n);
  return n;
}

bool IsHash(std::string_view text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

}  // namespace

BoundFile ReadBound(IniStore& store, std::string_view section, std::string_view hash_key) {
  BoundFile file;
  file.hash = store.Find(section, hash_key);
  // Anything else there binds nothing: it is bound afresh.
  if (file.hash && *file.hash != bound::kNoFile && !IsHash(*file.hash)) file.hash.reset();
  file.identity.size = Number(store.Find(section, bound::kSize));
  file.identity.write_time = Number(store.Find(section, bound::kWriteTime));
  file.identity.change_time = Number(store.Find(section, bound::kChangeTime));
  file.identity.file_id = store.Find(section, bound::kFileId).value_or("");
  file.hashed = Number(store.Find(section, bound::kHashed));
  return file;
}

std::vector<std::pair<std::string_view, std::string_view>> BoundKeys(const BoundFile& file, std::string_view hash_key,
                                                                     std::vector<std::string>& texts) {
  texts = {file.hash.value_or(""),
           std::to_string(file.identity.size),
           std::to_string(file.identity.write_time),
           std::to_string(file.identity.change_time),
           file.identity.file_id,
           std::to_string(file.hashed)};
  if (!IsBound(file)) return {{hash_key, texts[0]}};
  return {{hash_key, texts[0]},      {bound::kSize, texts[1]},   {bound::kWriteTime, texts[2]},
          {bound::kChangeTime, texts[3]}, {bound::kFileId, texts[4]}, {bound::kHashed, texts[5]}};
}

bool IsBound(const BoundFile& file) { return file.hash && IsHash(*file.hash); }

ProgramCheck::ProgramCheck(platform::Platform platform, std::function<int()> bound_files,
                           std::function<void(const std::string&)> notice)
    : platform_(platform),
      lookup_(LookupOn(platform)),
      bound_files_(std::move(bound_files)),
      notice_(std::move(notice)),
      now_(platform.system.Now()) {}

ProgramCheck::Result ProgramCheck::Check(const std::string& command, const BoundFile& recorded) {
  const std::string program = ProgramOf(command, lookup_);
  if (program.empty()) return {};
  if (!recorded.hash) {
    // Bound from now on, without a question: what it was before is unknown.
    std::optional<BoundFile> taken = TakeProgram(program);
    if (!taken) return {};
    return {Verdict::Record, std::move(*taken)};
  }
  if (*recorded.hash == bound::kNoFile) {
    // What was allowed started nothing; what starts now nobody has seen.
    if (!platform_.files.Exists(program)) return {};
    return {Verdict::Changed, {}};
  }
  const bool daily = now_ - std::min(now_, recorded.hashed) >= kDay && DailyHashFits(program);
  const std::optional<platform::FileIdentity> glance = Glance(program);
  const platform::FileIdentity& was = recorded.identity;
  if (glance && !daily && glance->size == was.size && glance->write_time == was.write_time &&
      glance->change_time == was.change_time)
    return {};
  const std::optional<platform::FileIdentity> identity = Identity(program);
  if (!identity) {
    // A program gone starts nothing; one that comes back is hashed then.
    if (platform_.files.Exists(program)) CannotRead(program);
    return {};
  }
  const bool same_file = identity->size == was.size && identity->write_time == was.write_time &&
                         identity->file_id == was.file_id;
  // Only its change time moved (its attributes, its security): the same file.
  if (same_file && !daily) {
    if (*identity == was) return {};
    return {Verdict::Record, {recorded.hash, *identity, recorded.hashed}};
  }
  if (same_file && !hashes_.count(program)) --*daily_left_;
  const std::optional<std::string> hash = Hash(program);
  if (!hash) {
    CannotRead(program);
    return {};
  }
  if (*hash != *recorded.hash) return {Verdict::Changed, {}};
  return {Verdict::Record, {hash, *identity, now_}};
}

bool ProgramCheck::DailyHashFits(const std::string& program) {
  if (!daily_left_) daily_left_ = std::max(1, bound_files_() / 12);
  return *daily_left_ > 0 || hashes_.count(program);
}

std::optional<BoundFile> ProgramCheck::Take(const std::string& command) {
  const std::string program = ProgramOf(command, lookup_);
  if (program.empty()) return std::nullopt;
  return TakeProgram(program);
}

std::optional<BoundFile> ProgramCheck::TakeProgram(const std::string& program) {
  const std::optional<platform::FileIdentity> identity = Identity(program);
  if (!identity) {
    if (!platform_.files.Exists(program)) return BoundFile{std::string(bound::kNoFile), {}, 0};
    CannotRead(program);
    return std::nullopt;
  }
  const std::optional<std::string> hash = Hash(program);
  if (!hash) {
    CannotRead(program);
    return std::nullopt;
  }
  return BoundFile{hash, *identity, now_};
}

std::optional<platform::FileIdentity> ProgramCheck::Glance(const std::string& program) {
  auto [at, added] = glances_.try_emplace(program);
  if (added) at->second = platform_.program_files.Glance(program);
  return at->second;
}

std::optional<platform::FileIdentity> ProgramCheck::Identity(const std::string& program) {
  auto [at, added] = identities_.try_emplace(program);
  if (added) at->second = platform_.program_files.Identity(program);
  return at->second;
}

std::optional<std::string> ProgramCheck::Hash(const std::string& program) {
  auto [at, added] = hashes_.try_emplace(program);
  if (added) at->second = platform_.program_files.Sha256(program);
  return at->second;
}

void ProgramCheck::CannotRead(const std::string& program) {
  notice_("Veltrane may not read the program " + program + ", so it cannot tell whether it changed.");
}

}  // namespace registry
