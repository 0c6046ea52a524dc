// What the first scan of the tasks and the services found: taken as known,
// since Windows brings hundreds of its own. One file per machine,
// "C:\Windows\baseline.vlt", shared by every person's copy: numbered
// sections without a limit, each an entry's place, name and command (or the
// SHA-256 of a command too long for the file), and one section that names
// the places whose first scan was made.
#pragma once
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/binding.h"
#include "registry/ini_store.h"

namespace registry {

namespace baseline {
constexpr std::string_view kDataFile = "baseline.vlt";
constexpr std::string_view kPlace = "miejsce";  // the place's section text; what makes a section used
constexpr std::string_view kName = "nazwa";
constexpr std::string_view kCommand = "wartosc";
// For a command longer than the file can give back.
constexpr std::string_view kHash = "skrot";
// For a person's own place, that person's SID.
constexpr std::string_view kSid = "sid";
// Its keys are the places' section texts.
constexpr std::string_view kFirstScans = "pierwszy_skan";
}  // namespace baseline

struct KnownEntry {
  std::string name;
  std::string command;
  // Its program's file, when it names one.
  std::optional<BoundFile> file;
};

// An entry's section in the file and what it keeps of the entry's program.
struct BaselineRecord {
  int section = 0;
  BoundFile file;
};

class Baseline {
 public:
  explicit Baseline(IniStore& store) : store_(store) {}

  // A place that belongs to one person is named with that person's SID,
  // which its records carry: another person's copy makes its own first scan.
  // Whether the first scan of the place was made, on this machine, by any copy.
  bool FirstScanMade(std::string_view place, std::string_view sid = {});
  std::optional<BaselineRecord> Find(std::string_view place, const std::string& name, const std::string& command,
                                     std::string_view sid = {});
  // The program's facts recorded in the entry's section, unless another
  // copy changed the section meanwhile.
  void Bind(int section, std::string_view place, const KnownEntry& entry);
  // How many records hold a bound file.
  int BoundCount();
  // The first scan of the place: every entry taken as known, unless another
  // copy made it meanwhile. True when this call made it.
  bool TakeFirstScan(std::string_view place, const std::vector<KnownEntry>& entries, std::string_view sid = {});
  // One more entry known.
  void Add(std::string_view place, const KnownEntry& entry);

 private:
  // The file read anew when it changed.
  void Load();
  // The sections of entries, written from the first unused number on.
  void Append(std::string_view place, const std::vector<KnownEntry>& entries, std::vector<IniStore::Write>& writes,
              std::deque<std::string>& texts, std::string_view sid = {});
  IniStore& store_;
  std::optional<uint64_t> version_;
  int used_ = 0;  // sections 0..used_-1 hold entries
  // By place, name, and command or its hash.
  std::map<std::tuple<std::string, std::string, std::string>, BaselineRecord> known_;
  // The places asked about so far, and whether their first scan was made.
  std::map<std::string, bool, std::less<>> first_scans_;
};

}  // namespace registry
