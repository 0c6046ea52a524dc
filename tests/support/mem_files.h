// Files kept in memory, with counters and switches for what real disks do
// rarely. Shared by the unit tests, the fuzzer and the benchmarks.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include "platform/code_page.h"
#include "platform/files.h"

namespace testing_support {

class MemFiles : public platform::Files {
 public:
  bool Exists(const std::string& path) override { return data.count(path) > 0; }
  std::unique_ptr<platform::HeldFile> Hold(const std::string&) override { return nullptr; }
  platform::MoveStatus Move(const std::string&, const std::string&) override { return platform::MoveStatus::Failed; }
  bool Delete(const std::string& path) override { return data.erase(path) > 0; }
  platform::FileStamp Stat(const std::string& path) override {
    ++stats;
    auto it = data.find(path);
    if (it == data.end()) return {};
    return {true, it->second.size(), mtime};
  }
  std::optional<std::string> ReadAll(const std::string& path) override {
    ++reads;
    auto it = data.find(path);
    if (it == data.end() || read_fails) return std::nullopt;
    return it->second;
  }
  bool Replace(const std::string& path, const std::string& bytes) override {
    ++replaces;
    if (replace_fails) return false;
    data[path] = bytes;
    if (!frozen_clock) ++mtime;
    return true;
  }
  // Another holder of the same path is refused at once.
  std::unique_ptr<platform::FileLock> Lock(const std::string& path, int) override {
    struct Held : platform::FileLock {
      Held(std::set<std::string>& locked, std::string path) : locked(locked), path(std::move(path)) {}
      ~Held() override { locked.erase(path); }
      std::set<std::string>& locked;
      std::string path;
    };
    if (lock_fails || !locked.insert(path).second) return nullptr;
    return std::make_unique<Held>(locked, path);
  }
  std::string AnsiToUtf8(std::string_view bytes) override { return platform::DecodeCodePage(bytes, code_page); }
  // The data files have no folders to list or watch.
  platform::FolderList ListFiles(const std::string&) override { return {}; }
  platform::FolderList ListFolders(const std::string&) override { return {}; }
  bool MakeFolder(const std::string&) override { return false; }
  std::unique_ptr<platform::ChangeWatch> WatchFolder(const std::string&) override { return nullptr; }
  std::unique_ptr<platform::ChangeWaiter> NewWaiter() override { return nullptr; }

  std::map<std::string, std::string> data;
  unsigned code_page = 1252;  // the system's ANSI code page
  int64_t mtime = 1;
  bool frozen_clock = false;  // a clock too coarse to tell two writes apart
  bool read_fails = false;
  bool replace_fails = false;
  bool lock_fails = false;
  std::set<std::string> locked;  // the lock files held now
  int stats = 0, reads = 0, replaces = 0;
};

}  // namespace testing_support
