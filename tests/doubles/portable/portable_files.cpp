#include "tests/doubles/portable/portable_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/locking.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <thread>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "tests/doubles/portable/portable_waiter.h"

#ifdef _WIN32
#include <process.h>
#define VELTRANE_GETPID _getpid
#else
#include <unistd.h>
#define VELTRANE_GETPID getpid
#endif

namespace fs = std::filesystem;

namespace platform::portable {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string Folded(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = Lower(c);
  return out;
}

bool Refused(char c) {
  return uint8_t(c) < 32 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

// The components after "X:\", resolved as Windows resolves them.
std::optional<std::vector<std::string>> Components(const std::string& rest) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t sep = rest.find_first_of("\\/", start);
    std::string part = rest.substr(start, sep == std::string::npos ? std::string::npos
                                                                    : sep - start);
    start = sep == std::string::npos ? rest.size() + 1 : sep + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    // Windows drops trailing dots and spaces from a name.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) continue;
    for (char c : part) {
      if (Refused(c)) return std::nullopt;
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

// The existing entry of `folder` named `name` in any case; an exact match
// wins, then the first in sorted order so that the choice is stable.
std::string MatchEntry(const fs::path& folder, const std::string& name) {
  std::error_code ec;
#ifndef _WIN32
  // The usual case, spelled as on disk, costs one lookup instead of a scan
  // (only where the host's names are case-sensitive, so a hit is exact).
  if (fs::exists(fs::symlink_status(folder / name, ec))) return name;
#endif
  if (!fs::is_directory(folder, ec)) return name;
  std::string folded = Folded(name);
  std::optional<std::string> best;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (entry == name) return name;
    if (Folded(entry) == folded && (!best || entry < *best)) best = entry;
  }
  return best.value_or(name);
}

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

bool Present(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

bool FolderExists(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

// Coarse filesystem clocks can give two quick writes the same stamp; a
// rewrite must look changed to anyone comparing stamps.
void StampAfter(const fs::path& p, fs::file_time_type before) {
  using namespace std::chrono_literals;
  std::error_code ec;
  auto now = fs::last_write_time(p, ec);
  if (ec || now > before) return;
  for (fs::file_time_type::duration step : {fs::file_time_type::duration(1us),
                                            fs::file_time_type::duration(1ms),
                                            fs::file_time_type::duration(2s)}) {
    fs::last_write_time(p, before + step, ec);
    auto t = fs::last_write_time(p, ec);
    if (!ec && t > before) return;
  }
}

}  // namespace

// One lock and one condition for every watch of the store, as the portable
// registry has them.
struct FolderWatches {
  struct Record {
    std::string folder;  // the folder's Mapped key
    bool pending = false;
    bool cancelled = false;
    bool gone = false;  // the folder is no more; nothing further is reported
  };
  std::mutex mu;
  std::condition_variable changed;
  std::vector<Record*> watches;
};

PortableFiles::PortableFiles(fs::path c_drive) : watches_(std::make_shared<FolderWatches>()) {
  drives_['C'] = std::move(c_drive);
}

void PortableFiles::MapDrive(char letter, fs::path folder) {
  std::lock_guard lock(mu_);
  drives_[Upper(letter)] = std::move(folder);
}

std::optional<PortableFiles::Mapped> PortableFiles::Map(const std::string& path) const {
  if (path.find('\0') != std::string::npos || path.size() < 3 || path[1] != ':' ||
      (path[2] != '\\' && path[2] != '/')) {
    return std::nullopt;  // relative, drive-relative ("C:x"), UNC or empty
  }
  char letter = Upper(path[0]);
  if (letter < 'A' || letter > 'Z') return std::nullopt;
  fs::path base;
  {
    std::lock_guard lock(mu_);
    auto it = drives_.find(letter);
    if (it == drives_.end()) return std::nullopt;
    base = it->second;
  }
  auto parts = Components(path.substr(3));
  if (!parts) return std::nullopt;
  try {
    Mapped m{base, base, std::string(1, letter) + ":"};
    for (const auto& part : *parts) {
      m.host /= MatchEntry(m.host, part);
      m.key += '\\';
      m.key += Folded(part);
    }
    return m;
  } catch (...) {  // a name the host cannot represent
    return std::nullopt;
  }
}

std::optional<fs::path> PortableFiles::HostPath(const std::string& path) const {
  auto m = Map(path);
  if (!m) return std::nullopt;
  return m->host;
}

bool PortableFiles::SetReadOnly(const std::string& path, bool read_only) {
  auto m = Map(path);
  if (!m) return false;
  std::lock_guard lock(mu_);
  if (read_only) {
    read_only_.insert(m->key);
  } else {
    read_only_.erase(m->key);
  }
  return true;
}

void PortableFiles::DenyListing(const std::string& folder) {
  auto m = Map(folder);
  std::lock_guard lock(mu_);
  if (m) unlistable_.insert(m->key);
}

bool PortableFiles::Writable(const Mapped& m) const {
  std::lock_guard lock(mu_);
  for (const auto& ro : read_only_) {
    if (m.key == ro || m.key.rfind(ro + "\\", 0) == 0) return false;
  }
  return true;
}

fs::path PortableFiles::TempNameBeside(const fs::path& target) {
  fs::path name = target.filename();
  name += ".tmp-" + std::to_string(VELTRANE_GETPID()) + "-" + std::to_string(++temp_counter_);
  return target.parent_path() / name;
}

bool PortableFiles::Exists(const std::string& path) {
  auto m = Map(path);
  return m && Present(m->host);
}

MoveStatus PortableFiles::Move(const std::string& from, const std::string& to) {
  auto a = Map(from), b = Map(to);
  if (!a || !b || !Writable(*a) || !Writable(*b) || !Present(a->host)) return MoveStatus::Failed;
  fs::path folder = b->drive;
  for (const fs::path& part : b->host.parent_path().lexically_relative(b->drive)) {
    folder /= part;
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(folder, ec))) return MoveStatus::ThroughReparsePoint;
  }
  if (a->key == b->key) return MoveStatus::Moved;
  if (Present(b->host) || !FolderExists(b->host.parent_path()) || rename_fails_) return MoveStatus::Failed;
  std::error_code ec;
  fs::rename(a->host, b->host, ec);
  if (ec) {
    // Another device: files may be copied across, as MOVEFILE_COPY_ALLOWED does.
    if (!IsFile(a->host) || !fs::copy_file(a->host, b->host, fs::copy_options::none, ec) || ec) {
      return MoveStatus::Failed;
    }
    if (!fs::remove(a->host, ec) || ec) {
      fs::remove(b->host, ec);
      return MoveStatus::Failed;
    }
  }
  FolderGone(a->key);
  Changed(a->key);
  Changed(b->key);
  return MoveStatus::Moved;
}

bool PortableFiles::Delete(const std::string& path) {
  auto m = Map(path);
  if (!m || !Writable(*m)) return false;
  std::error_code ec;
  auto st = fs::symlink_status(m->host, ec);
  if (ec || !(fs::is_regular_file(st) || fs::is_symlink(st)) || !fs::remove(m->host, ec) || ec) return false;
  Changed(m->key);
  return true;
}

FileStamp PortableFiles::Stat(const std::string& path) {
  FileStamp stamp;
#ifndef _WIN32
  // One system call when the path was found here before.
  struct stat st;
  std::filesystem::path host;
  {
    std::lock_guard lock(mu_);
    auto hint = stat_hint_.find(path);
    if (hint != stat_hint_.end()) host = hint->second;
  }
  if (host.empty() || ::stat(host.c_str(), &st) != 0) {
    auto m = Map(path);
    if (!m || ::stat(m->host.c_str(), &st) != 0) return stamp;
    std::lock_guard lock(mu_);
    stat_hint_[path] = m->host;
  }
  stamp.exists = true;
  stamp.size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
  stamp.mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return stamp;
#else
  auto m = Map(path);
  if (!m) return stamp;
  std::error_code ec;
  auto st = fs::status(m->host, ec);
  if (ec || !fs::exists(st)) return stamp;
  auto t = fs::last_write_time(m->host, ec);
  if (ec) return stamp;
  stamp.exists = true;
  if (fs::is_regular_file(st)) {
    auto size = fs::file_size(m->host, ec);
    stamp.size = ec ? 0 : size;
  }
  stamp.mtime = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  return stamp;
#endif
}

std::optional<std::string> PortableFiles::ReadAll(const std::string& path) {
  auto m = Map(path);
  if (!m || !IsFile(m->host)) return std::nullopt;
  try {
    std::ifstream in(m->host, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return data;
  } catch (...) {
    return std::nullopt;
  }
}

bool PortableFiles::Replace(const std::string& path, const std::string& bytes) {
  auto m = Map(path);
  if (!m || !Writable(*m) || !FolderExists(m->host.parent_path())) return false;
  std::error_code ec;
  auto st = fs::status(m->host, ec);
  bool existed = fs::exists(st);
  if (existed && !fs::is_regular_file(st)) return false;
  std::optional<fs::file_time_type> before;
  if (existed) {
    auto t = fs::last_write_time(m->host, ec);
    if (!ec) before = t;
  }

  fs::path temp = TempNameBeside(m->host);
  bool written = false;
  try {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.flush();
    written = bool(out);
  } catch (...) {
    written = false;
  }
  if (!written || rename_fails_) {
    fs::remove(temp, ec);
    return false;
  }
  fs::rename(temp, m->host, ec);
  if (ec) {
    fs::remove(temp, ec);
    return false;
  }
  if (before) StampAfter(m->host, *before);
  Changed(m->key);
  return true;
}

std::string PortableFiles::AnsiToUtf8(std::string_view bytes) { return DecodeCodePage(bytes, code_page_); }

namespace {

int OpenLockFile(const fs::path& host) {
#ifdef _WIN32
  int fd = -1;
  return _wsopen_s(&fd, host.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                   _S_IREAD | _S_IWRITE) == 0 ? fd : -1;
#else
  return open(host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
#endif
}

bool TryLock(int fd) {
#ifdef _WIN32
  return _locking(fd, _LK_NBLCK, 1) == 0;
#else
  return flock(fd, LOCK_EX | LOCK_NB) == 0;
#endif
}

// Closing lets go of the lock.
void CloseLockFile(int fd) {
#ifdef _WIN32
  _lseek(fd, 0, SEEK_SET);
  _locking(fd, _LK_UNLCK, 1);
  _close(fd);
#else
  close(fd);
#endif
}

class PortableFileLock : public FileLock {
 public:
  explicit PortableFileLock(int fd) : fd_(fd) {}
  ~PortableFileLock() override { CloseLockFile(fd_); }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<FileLock> PortableFiles::Lock(const std::string& path, int wait_ms) {
  auto m = Map(path);
  if (!m || (!Present(m->host) && !Writable(*m)) || !FolderExists(m->host.parent_path())) return nullptr;
  const bool created = !Present(m->host);
  const int fd = OpenLockFile(m->host);
  if (fd < 0) return nullptr;
  if (created) Changed(m->key);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (!TryLock(fd)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      CloseLockFile(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return std::make_unique<PortableFileLock>(fd);
}

}  // namespace platform::portable

namespace platform::portable {
namespace {

// A plain file: not a folder, not a link.
bool PlainFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(p, ec));
}

// Creates path anew and opens it for writing; -1 when anything already has
// that name, a link among them, which is never opened.
int CreateNew(const fs::path& path) {
#ifdef _WIN32
  return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
#endif
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : unsigned(size);
#ifdef _WIN32
    const int written = _write(fd, data, chunk);
#else
    const ssize_t written = ::write(fd, data, chunk);
#endif
    if (written <= 0) return false;
    data += written;
    size -= size_t(written);
  }
  return true;
}

bool CloseFile(int fd) {
#ifdef _WIN32
  return _close(fd) == 0;
#else
  return ::close(fd) == 0;
#endif
}

class PortableFileWriter : public FileWriter {
 public:
  PortableFileWriter(fs::path temp, fs::path target, const std::atomic<bool>& rename_fails,
                     std::function<void()> committed)
      : temp_(std::move(temp)), target_(std::move(target)), rename_fails_(rename_fails),
        committed_event_(std::move(committed)), fd_(CreateNew(temp_)), created_(fd_ >= 0) {}
  ~PortableFileWriter() override {
    if (fd_ >= 0) CloseFile(fd_);
    // Only what this writer made goes: whatever had the name before stays.
    std::error_code ec;
    if (created_ && !committed_) fs::remove(temp_, ec);
  }
  bool Opened() const { return created_; }

  bool Write(const char* data, size_t size) override {
    if (fd_ < 0 || failed_) return false;
    failed_ = !WriteAll(fd_, data, size);
    return !failed_;
  }

  bool Commit() override {
    if (fd_ < 0) return false;
    const bool written = !failed_ && CloseFile(fd_);
    fd_ = -1;
    if (!written || rename_fails_) return false;
    std::error_code ec;
    std::optional<fs::file_time_type> before;
    if (Present(target_)) {
      if (!PlainFile(target_)) return false;
      auto t = fs::last_write_time(target_, ec);
      if (!ec) before = t;
    }
    fs::rename(temp_, target_, ec);
    if (ec) return false;
    committed_ = true;
    if (before) StampAfter(target_, *before);
    committed_event_();
    return true;
  }

 private:
  fs::path temp_, target_;
  const std::atomic<bool>& rename_fails_;
  const std::function<void()> committed_event_;
  int fd_;
  const bool created_;
  bool failed_ = false;
  bool committed_ = false;
};

}  // namespace

std::unique_ptr<FileWriter> PortableFiles::OpenWriter(const std::string& path) {
  auto m = Map(path);
  if (!m || !Writable(*m) || !FolderExists(m->host.parent_path())) return nullptr;
  if (Present(m->host) && !PlainFile(m->host)) return nullptr;
  auto writer = std::make_unique<PortableFileWriter>(TempNameBeside(m->host), m->host, rename_fails_,
                                                    [this, key = m->key] { Changed(key); });
  if (!writer->Opened()) return nullptr;
  return writer;
}

}  // namespace platform::portable

namespace platform::portable {
namespace {

// The folder with every symbolic link on its way followed, as the final path
// of a file names it. Wine, where the Windows build of these tests runs,
// makes no links, and its paths need no change.
fs::path Resolved(const fs::path& p) {
#ifndef _WIN32
  std::error_code ec;
  fs::path real = fs::weakly_canonical(p, ec);
  if (!ec) return real;
#endif
  return p;
}

}  // namespace

// On Linux the open descriptor is the handle: reads, the final path
// (/proc/self/fd) and the deletion follow the file itself, wherever it has
// gone. Wine, with no links to follow, gets a stream on the path.
class PortableFiles::Held : public HeldFile {
 public:
  Held(PortableFiles& files, fs::path real) : files_(files), real_(std::move(real)) {
#ifndef _WIN32
    fd_ = ::open(real_.c_str(), O_RDONLY | O_CLOEXEC);
#else
    in_.open(real_, std::ios::binary);
#endif
  }
  ~Held() override {
#ifndef _WIN32
    if (fd_ >= 0) ::close(fd_);
#endif
  }
  bool Opened() const {
#ifndef _WIN32
    return fd_ >= 0;
#else
    return in_.is_open();
#endif
  }

  std::optional<std::string> FinalPath() override {
    std::optional<fs::path> where = Where();
    return where ? files_.WindowsPath(*where) : std::nullopt;
  }

  bool CopyToNew(const std::string& to) override {
    auto m = files_.Map(to);
    if (!m || !files_.Writable(*m) || Present(m->host) || !FolderExists(m->host.parent_path())) return false;
    bool copied;
    {
      std::ofstream out(m->host, std::ios::binary);
      copied = CopyInto(out) && out.flush();
    }
    std::error_code ec;
    std::optional<fs::path> where = Where();
    if (copied && where) {
      // Copies keep the source's time, as CopyFile does.
      auto t = fs::last_write_time(*where, ec);
      if (!ec) fs::last_write_time(m->host, t, ec);
    }
    if (!copied) fs::remove(m->host, ec);
    files_.Changed(m->key);
    return copied;
  }

  bool Delete() override {
    std::optional<fs::path> where = Where();
    std::optional<std::string> path = where ? files_.WindowsPath(*where) : std::nullopt;
    auto m = path ? files_.Map(*path) : std::nullopt;
    if (!m || !files_.Writable(*m)) return false;
#ifndef _WIN32
    // Only the file that was opened, never another one put in its place.
    struct stat held, there;
    if (::fstat(fd_, &held) != 0 || ::stat(where->c_str(), &there) != 0 || held.st_dev != there.st_dev ||
        held.st_ino != there.st_ino)
      return false;
#else
    in_.close();  // Windows deletes no file that a stream holds
#endif
    std::error_code ec;
    if (!fs::remove(*where, ec) || ec) return false;
    files_.Changed(m->key);
    return true;
  }

 private:
  // Where the file lies now; nullopt once it is deleted.
  std::optional<fs::path> Where() const {
#ifndef _WIN32
    std::error_code ec;
    fs::path now = fs::read_symlink("/proc/self/fd/" + std::to_string(fd_), ec);
    if (ec || now.string().ends_with(" (deleted)")) return std::nullopt;
    return now;
#else
    return Present(real_) ? std::optional(real_) : std::nullopt;
#endif
  }

  bool CopyInto(std::ofstream& out) {
    char chunk[64 * 1024];
#ifndef _WIN32
    for (off_t at = 0; out;) {
      ssize_t got = ::pread(fd_, chunk, sizeof chunk, at);
      if (got < 0) return false;
      if (got == 0) return true;
      out.write(chunk, got);
      at += got;
    }
    return false;
#else
    in_.clear();
    in_.seekg(0);
    while (out) {
      in_.read(chunk, sizeof chunk);
      if (in_.gcount() == 0) return !in_.bad();
      out.write(chunk, in_.gcount());
    }
    return false;
#endif
  }

  PortableFiles& files_;
  fs::path real_;
#ifndef _WIN32
  int fd_ = -1;
#else
  std::ifstream in_;
#endif
};

std::unique_ptr<HeldFile> PortableFiles::Hold(const std::string& path) {
  auto m = Map(path);
  if (!m || !IsFile(m->host)) return nullptr;
  auto held = std::make_unique<Held>(*this, m->host);
  if (!held->Opened()) return nullptr;
  return held;
}

std::optional<std::string> PortableFiles::WindowsPath(const fs::path& host) const {
  std::map<char, fs::path> drives;
  {
    std::lock_guard lock(mu_);
    drives = drives_;
  }
  for (const auto& [letter, folder] : drives) {
    const fs::path rest = host.lexically_relative(Resolved(folder));
    if (rest.empty() || *rest.begin() == "..") continue;
    std::string path = std::string(1, letter) + ":";
    for (const fs::path& part : rest) {
      if (part == ".") continue;
      path += "\\" + part.string();
    }
    return path.size() == 2 ? path + "\\" : path;
  }
  return std::nullopt;
}

}  // namespace platform::portable

namespace platform::portable {

FolderList PortableFiles::List(const std::string& folder, bool folders) {
  FolderList list;
  auto m = Map(folder);
  if (!m) return list;
  if (!FolderExists(m->host)) {
    list.status = ListStatus::Missing;
    return list;
  }
  {
    std::lock_guard lock(mu_);
    if (unlistable_.count(m->key)) return list;
  }
  std::error_code ec;
  for (fs::directory_iterator it(m->host, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code kind;
    // A symbolic link to a folder stands for a junction: never listed as a folder.
    const bool is_folder = folders ? fs::is_directory(it->symlink_status(kind)) : fs::is_directory(it->status(kind));
    if (is_folder == folders) list.names.push_back(it->path().filename().string());
  }
  if (ec) {
    list.names.clear();
    return list;
  }
  std::sort(list.names.begin(), list.names.end());
  list.status = ListStatus::Listed;
  return list;
}

FolderList PortableFiles::ListFiles(const std::string& folder) { return List(folder, false); }

FolderList PortableFiles::ListFolders(const std::string& folder) { return List(folder, true); }

bool PortableFiles::MakeFolder(const std::string& path) {
  if (CreateFolder(path)) return true;
  auto m = Map(path);
  std::error_code ec;
  return m && fs::is_directory(fs::symlink_status(m->host, ec));
}

std::unique_ptr<ChangeWatch> PortableFiles::WatchFolder(const std::string& folder) {
  auto m = Map(folder);
  if (!m || !FolderExists(m->host)) return nullptr;
  return std::make_unique<PortableWatch<FolderWatches>>(watches_, FolderWatches::Record{m->key});
}

std::unique_ptr<ChangeWaiter> PortableFiles::NewWaiter() { return std::make_unique<PortableWaiter<FolderWatches>>(watches_); }

void PortableFiles::Changed(const std::string& key) {
  const std::string folder = key.substr(0, key.rfind('\\'));
  std::lock_guard lock(watches_->mu);
  for (FolderWatches::Record* r : watches_->watches)
    if (!r->gone && r->folder == folder) r->pending = true;
  watches_->changed.notify_all();
}

void PortableFiles::FolderGone(const std::string& key) {
  std::lock_guard lock(watches_->mu);
  for (FolderWatches::Record* r : watches_->watches) {
    if (r->gone || r->folder != key) continue;
    r->pending = true;
    r->gone = true;
  }
  watches_->changed.notify_all();
}

bool PortableFiles::CreateFolder(const std::string& path) {
  auto m = Map(path);
  if (!m || !Writable(*m) || !FolderExists(m->host.parent_path())) return false;
  std::error_code ec;
  if (!fs::create_directory(m->host, ec) || ec) return false;
  Changed(m->key);
  return true;
}

bool PortableFiles::RemoveFolder(const std::string& path) {
  auto m = Map(path);
  std::error_code ec;
  if (!m || !Writable(*m) || !fs::is_directory(fs::symlink_status(m->host, ec)) || !fs::remove(m->host, ec) || ec)
    return false;
  FolderGone(m->key);
  Changed(m->key);
  return true;
}

}  // namespace platform::portable
