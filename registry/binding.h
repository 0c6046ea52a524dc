// A known autostart entry is bound to its program's file: its record (a
// white-list slot, a baseline section) keeps the file's SHA-256 and the
// identity it had, so that a program replaced behind an allowed entry is
// asked about again. Each scan glances at the file's size and times by its
// name; when they moved it opens the file for its ID, and hashes it when the
// size, write time or ID differ. Since a write time can be forged, every
// bound file is hashed once a day besides: a few of them per scan.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "registry/ini_store.h"
#include "registry/program_of.h"

namespace registry {

namespace bound {
// The file's SHA-256 in a white-list slot; the baseline keeps its
// commands' hashes under "skrot" already, so it names the file's its own way.
constexpr std::string_view kHash = "skrot";
constexpr std::string_view kBaselineHash = "skrot_pliku";
constexpr std::string_view kSize = "rozmiar";
constexpr std::string_view kWriteTime = "zmiana";  // a FILETIME, in decimal
constexpr std::string_view kChangeTime = "zmiana_wpisu";
constexpr std::string_view kFileId = "plik_id";    // volume serial and file index, in hex
constexpr std::string_view kHashed = "sprawdzono";  // when it was last hashed, a FILETIME
// The hash of a program that did not exist when it was recorded.
constexpr std::string_view kNoFile = "brak";
}  // namespace bound

// What a record keeps of its program's file.
struct BoundFile {
  // 64 hex digits, bound::kNoFile, or nothing: never bound (written by an
  // older version, or the file could not be read).
  std::optional<std::string> hash;
  platform::FileIdentity identity;
  uint64_t hashed = 0;
};

// The record's facts as the store holds them in that section.
BoundFile ReadBound(IniStore& store, std::string_view section, std::string_view hash_key);
// The keys that record them, their texts kept in `texts`.
std::vector<std::pair<std::string_view, std::string_view>> BoundKeys(const BoundFile& file, std::string_view hash_key,
                                                                     std::vector<std::string>& texts);
// Whether the record holds a bound file's hash (not kNoFile, not nothing).
bool IsBound(const BoundFile& file);

inline constexpr uint64_t kDay = 24ull * 3600 * 10000000;  // in FILETIME units

// The programs of known entries checked against their records, for one scan.
class ProgramCheck {
 public:
  // bound_files: how many records are bound, counted when first needed;
  // each scan hashes at most a twelfth of them (at least one) for the day's check.
  ProgramCheck(platform::Platform platform, std::function<int()> bound_files,
               std::function<void(const std::string&)> notice);

  enum class Verdict {
    Unchanged,
    Changed,  // ask about the entry again
    Record,   // write `now` into the record: first bound, or same file with a new identity or hash time
  };
  struct Result {
    Verdict verdict = Verdict::Unchanged;
    BoundFile now;
  };
  Result Check(const std::string& command, const BoundFile& recorded);
  // The facts to record for the command's program now; nothing when it
  // names no file or the file cannot be read.
  std::optional<BoundFile> Take(const std::string& command);

 private:
  std::optional<BoundFile> TakeProgram(const std::string& program);
  // Each file is looked at and hashed at most once per scan.
  std::optional<platform::FileIdentity> Glance(const std::string& program);
  std::optional<platform::FileIdentity> Identity(const std::string& program);
  // Whether the day's hash of the program fits in this scan's share.
  bool DailyHashFits(const std::string& program);
  std::optional<std::string> Hash(const std::string& program);
  void CannotRead(const std::string& program);

  platform::Platform platform_;
  ProgramLookup lookup_;
  std::function<int()> bound_files_;
  std::function<void(const std::string&)> notice_;
  const uint64_t now_;
  std::optional<int> daily_left_;
  std::map<std::string, std::optional<platform::FileIdentity>> glances_, identities_;
  std::map<std::string, std::optional<std::string>> hashes_;
};

}  // namespace registry
