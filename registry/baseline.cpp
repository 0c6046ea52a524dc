#include "registry/baseline.h"

#include <algorithm>

#include "platform/sha256.h"
#include "registry/data_files.h"
#include "registry/doors.h"

namespace registry {

using namespace baseline;

namespace {

// The place as the records and the first scans know it.
std::string Whose(std::string_view place, std::string_view sid) {
  return sid.empty() ? std::string(place) : std::string(place) + " " + std::string(sid);
}

// What the file keeps of a command: the command, or its hash under kHash.
std::pair<std::string_view, std::string> Kept(const std::string& command) {
  if (FitsInList(command)) return {kCommand, command};
  return {kHash, platform::Sha256Hex(command)};
}

}  // namespace

void Baseline::Load() {
  IniStore::Batch batch(store_);
  if (const uint64_t version = store_.Version(); version == version_) return;
  known_.clear();
  first_scans_.clear();
  used_ = 0;
  for (;; ++used_) {
    const std::string section = std::to_string(used_);
    std::optional<std::string> place = store_.Find(section, kPlace);
    if (!place) break;
    std::optional<std::string> name = store_.Find(section, kName);
    std::optional<std::string> command = store_.Find(section, kCommand);
    if (!command) command = store_.Find(section, kHash);
    const std::string sid = store_.Find(section, kSid).value_or("");
    if (name && command)
      known_.insert({{Whose(*place, sid), std::move(*name), std::move(*command)},
                     {used_, ReadBound(store_, section, bound::kBaselineHash)}});
  }
  version_ = store_.Version();
}

bool Baseline::FirstScanMade(std::string_view place, std::string_view sid) {
  Load();
  const std::string whose = Whose(place, sid);
  auto known = first_scans_.find(whose);
  if (known == first_scans_.end()) known = first_scans_.emplace(whose, store_.Find(kFirstScans, whose).has_value()).first;
  return known->second;
}

std::optional<BaselineRecord> Baseline::Find(std::string_view place, const std::string& name,
                                             const std::string& command, std::string_view sid) {
  Load();
  auto found = known_.find({Whose(place, sid), name, Kept(command).second});
  if (found == known_.end()) return std::nullopt;
  return found->second;
}

void Baseline::Bind(int section_number, std::string_view place, const KnownEntry& entry) {
  if (!entry.file) return;
  IniStore::Change change(store_);
  const std::string section = std::to_string(section_number);
  auto [key, kept] = Kept(entry.command);
  if (store_.Find(section, kPlace) != place || store_.Find(section, kName) != entry.name ||
      store_.Find(section, key) != kept)
    return;
  std::vector<std::string> texts;
  std::vector<IniStore::Write> writes;
  for (auto [bound_key, value] : BoundKeys(*entry.file, bound::kBaselineHash, texts))
    writes.push_back({section, bound_key, value});
  store_.WriteStrings(writes);
}

int Baseline::BoundCount() {
  Load();
  return int(std::count_if(known_.begin(), known_.end(), [](const auto& k) { return IsBound(k.second.file); }));
}

void Baseline::Append(std::string_view place, const std::vector<KnownEntry>& entries,
                      std::vector<IniStore::Write>& writes, std::deque<std::string>& texts, std::string_view sid) {
  // The writes point into texts, whose strings a deque never moves.
  int number = used_;
  for (const KnownEntry& entry : entries) {
    // A name the file cannot give back is not kept: the entry is asked about.
    if (!FitsInList(entry.name)) continue;
    const std::string& section = texts.emplace_back(std::to_string(number++));
    auto [key, kept] = Kept(entry.command);
    const std::string& value = texts.emplace_back(std::move(kept));
    writes.push_back({section, kPlace, place});
    writes.push_back({section, kName, entry.name});
    writes.push_back({section, key, value});
    if (!sid.empty()) writes.push_back({section, kSid, sid});
    if (!entry.file) continue;
    std::vector<std::string> bound_texts;
    for (auto [bound_key, bound_value] : BoundKeys(*entry.file, bound::kBaselineHash, bound_texts))
      writes.push_back({section, bound_key, texts.emplace_back(bound_value)});
  }
}

bool Baseline::TakeFirstScan(std::string_view place, const std::vector<KnownEntry>& entries, std::string_view sid) {
  IniStore::Change change(store_);
  version_.reset();
  if (FirstScanMade(place, sid)) return false;
  std::vector<IniStore::Write> writes;
  std::deque<std::string> texts;
  Append(place, entries, writes, texts, sid);
  writes.push_back({kFirstScans, texts.emplace_back(Whose(place, sid)), "1"});
  store_.WriteStrings(writes);
  return true;
}

void Baseline::Add(std::string_view place, const KnownEntry& entry) {
  IniStore::Change change(store_);
  version_.reset();
  Load();
  const std::vector<KnownEntry> entries{entry};
  std::vector<IniStore::Write> writes;
  std::deque<std::string> texts;
  Append(place, entries, writes, texts);
  store_.WriteStrings(writes);
}

}  // namespace registry
