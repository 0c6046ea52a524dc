#include "tests/doubles/portable/portable_program_files.h"

#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/sha256.h"
#include "platform/text.h"
#include "tests/doubles/portable/portable_files.h"

namespace platform::portable {

namespace {

std::string Folded(std::string text) {
  for (char& c : text) c = AsciiLower(c);
  return text;
}

}  // namespace

PortableProgramFiles::PortableProgramFiles(Files& files) : files_(files) {
  variables_ = {{"systemroot", "C:\\Windows"}, {"windir", "C:\\Windows"}, {"programfiles", "C:\\Program Files"}};
}

FileFacts PortableProgramFiles::Facts(const std::string& path) {
  {
    std::unique_lock lock(mu_);
    released_.wait(lock, [this] { return !held_; });
  }
  FileFacts facts;
  const FileStamp stamp = files_.Stat(path);
  if (!stamp.exists) return facts;
  facts.exists = true;
  facts.size = stamp.size;
  std::lock_guard lock(mu_);
  if (auto it = companies_.find(Folded(path)); it != companies_.end()) facts.company = it->second;
  if (auto it = signatures_.find(Folded(path)); it != signatures_.end()) {
    facts.signature = it->second.first;
    facts.signer = it->second.second;
  }
  return facts;
}

std::optional<FileIdentity> PortableProgramFiles::Identity(const std::string& path) {
  std::optional<FileIdentity> identity = Glance(path);
  if (identity) identity->file_id = std::to_string(std::hash<std::string>()(Folded(path)));
  return identity;
}

std::optional<FileIdentity> PortableProgramFiles::Glance(const std::string& path) {
  if (std::lock_guard lock(mu_); unreadable_.count(Folded(path))) return std::nullopt;
  const FileStamp stamp = files_.Stat(path);
  if (!stamp.exists) return std::nullopt;
  FileIdentity identity{stamp.size, uint64_t(stamp.mtime), uint64_t(stamp.mtime), {}};
#ifndef _WIN32
  // Over the host's files, their status change time, which a rename moves.
  auto* portable = dynamic_cast<PortableFiles*>(&files_);
  const std::optional<std::filesystem::path> host = portable ? portable->HostPath(path) : std::nullopt;
  struct stat status;
  if (host && ::stat(host->c_str(), &status) == 0)
    identity.change_time = uint64_t(status.st_ctim.tv_sec) * 1000000000 + uint64_t(status.st_ctim.tv_nsec);
#endif
  return identity;
}

std::optional<std::string> PortableProgramFiles::Sha256(const std::string& path) {
  {
    std::lock_guard lock(mu_);
    if (unreadable_.count(Folded(path))) return std::nullopt;
    ++hashed_;
  }
  const std::optional<std::string> bytes = files_.ReadAll(path);
  if (!bytes) return std::nullopt;
  return Sha256Hex(*bytes);
}

std::string PortableProgramFiles::Grouped(uint64_t number) {
  std::string digits = std::to_string(number), grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string PortableProgramFiles::Expand(const std::string& text) {
  std::lock_guard lock(mu_);
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const size_t open = text.find('%', at);
    const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
    if (close == std::string::npos) {
      out += text.substr(at);
      break;
    }
    out += text.substr(at, open - at);
    auto it = variables_.find(Folded(text.substr(open + 1, close - open - 1)));
    if (it == variables_.end()) {
      out += text.substr(open, close - open);  // the second % may open the next name
      at = close;
    } else {
      out += it->second;
      at = close + 1;
    }
  }
  return out;
}

void PortableProgramFiles::SetCompany(const std::string& path, std::string company) {
  std::lock_guard lock(mu_);
  companies_[Folded(path)] = std::move(company);
}

void PortableProgramFiles::SetSignature(const std::string& path, SignatureKind kind, std::string signer) {
  std::lock_guard lock(mu_);
  signatures_[Folded(path)] = {kind, std::move(signer)};
}

void PortableProgramFiles::HoldFacts(bool held) {
  {
    std::lock_guard lock(mu_);
    held_ = held;
  }
  released_.notify_all();
}

void PortableProgramFiles::SetVariable(const std::string& name, std::string value) {
  std::lock_guard lock(mu_);
  variables_[Folded(name)] = std::move(value);
}

void PortableProgramFiles::DenyReading(const std::string& path) {
  std::lock_guard lock(mu_);
  unreadable_.insert(Folded(path));
}

int PortableProgramFiles::Hashed() {
  std::lock_guard lock(mu_);
  return hashed_;
}

}  // namespace platform::portable
