// The program's profile-file ("INI") store: one object per data file, with
// the semantics of GetPrivateProfileString / WritePrivateProfileString, on
// top of platform::Files so that both builds share it. Like Windows (and
// unlike Wine, which rewrites the whole file) a write changes only the line it
// concerns and leaves every other byte of the file as it was.
//
// Where it deliberately differs from the Win32 profile API:
// - A write whose section, key or value holds a CR or LF, whose section holds
//   ']', or whose key holds '=' or starts with '[', is refused with
//   WriteError: Windows writes such text as it is, and the file then reads
//   back as other sections and keys than were written. So is a key line that
//   would start the file with the bytes of a byte order mark.
// - Text is UTF-8 on both sides. ASCII is written byte for byte, as before;
//   other text is written as UTF-8 without a byte order mark, and text that
//   is not UTF-8 is refused with WriteError. Each name and value read is
//   UTF-8 when its bytes are, and otherwise text in the system's ANSI code
//   page (lists written before), so old and new entries mix in one file.
//   Windows reads a file without a byte order mark wholly in the ANSI code
//   page. A file that starts with a UTF-16 byte order mark is not read
//   (reads give the default) and never written (WriteError), rather than
//   mixing encodings in one file.
// - Lengths count UTF-16 code units, as Windows counts characters, and a
//   read is never cut inside a character.
// - Names match without regard to ASCII case only, whatever the code page.
// - What is written is what is read. A value that the reading rules would
//   change (blanks around it, or wholly enclosed in " or ') is written inside
//   one extra pair of double quotes, which every profile reader removes
//   again; other values are written as they are. A value longer than
//   kMaxRead, which no read could return whole, is refused with WriteError.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "toolkit/error.h"

namespace registry {

namespace ini {
class Document;
}

class WriteError : public tk::Error {
 public:
  explicit WriteError(const std::string& path)
      : tk::Error("Unable to write to " + path), path_(path) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The lock that every copy of the program takes around each change of the
// stores that share it, and around the reads the change depends on: a lock
// file beside them. It is held for a moment only, never while the window is
// served or a box is shown. Taken again while held, it only counts.
class StoreLock {
 public:
  // How long a change waits for another copy to let go before it fails.
  static constexpr int kWaitMs = 5000;

  StoreLock(platform::Files& files, std::string path) : files_(files), path_(std::move(path)) {}
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  const std::string& path() const { return path_; }

 private:
  friend class IniStore;
  // False when the lock could not be had in time.
  bool Take();
  void Release();

  platform::Files& files_;
  std::string path_;
  int depth_ = 0;
  std::unique_ptr<platform::FileLock> held_;
};

class IniStore {
 public:
  // The longest value a read returns, as with a 2048-byte buffer.
  static constexpr size_t kMaxRead = 2047;

  // Reads and creates nothing yet. Every write takes the lock, when given.
  IniStore(platform::Files& files, std::string path, StoreLock* lock = nullptr);
  ~IniStore();
  IniStore(const IniStore&) = delete;
  IniStore& operator=(const IniStore&) = delete;

  const std::string& path() const { return path_; }

  // The value of key in section as UTF-8, or default_value when the file,
  // the section, the key or its '=' is missing. One pair of enclosing quotes
  // (" or ') is removed; at most kMaxRead characters are returned.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value);
  // The same read, telling a missing value (nullopt) apart from any text.
  std::optional<std::string> Find(std::string_view section, std::string_view key);
  // Sets key=value in the first section of that name, adding the key at the
  // end of the section, the section at the end of the file, and the file, as
  // needed, so that ReadString returns value exactly. Throws WriteError when
  // it cannot write or refuses the text.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  struct Write {
    std::string_view section, key, value;
  };
  // WriteString for each in turn, in one replacement of the file: a reader
  // sees all of them or none. Nothing is written when one is refused.
  void WriteStrings(const std::vector<Write>& writes);
  // Removes the first section of that name: its header and all lines up to
  // the next header. A missing section or file is left alone. Throws
  // WriteError when the file cannot be rewritten.
  void EraseSection(std::string_view section);

  // Changes whenever the file is read anew: after a write of this store, or
  // when the file changed on disk since the last look. A reader that keeps
  // what it read compares it with the number it had then.
  uint64_t Version();

  // Reads inside a batch see the file as it was at the batch's first read:
  // its status is looked at once, not at every read. For reads that run
  // without pumping messages in between, so that nothing the program does
  // can change the file meanwhile; another program's change is seen by the
  // next batch. The store's own writes are always seen.
  class Batch {
   public:
    explicit Batch(IniStore& store);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    IniStore& store_;
  };

 private:
  // The store's lock, when it has one, for as long as the object lives;
  // throws WriteError when it cannot be had.
  class Held {
   public:
    explicit Held(IniStore& store);
    ~Held();
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    StoreLock* lock_;
  };

 public:
  // A change that depends on what it reads (a free slot found, a slot
  // checked before it is erased): holds the store's lock and reads the file
  // anew, once, as a batch. Nothing may pump messages or show a box while
  // it lasts. Throws WriteError when the lock cannot be had.
  class Change {
   public:
    explicit Change(IniStore& store);

   private:
    Held held_;
    Batch batch_;
  };

 private:
  // The file as it is now, parsed; null when it is missing or unreadable.
  const ini::Document* Current();
  // Reads text that is not UTF-8 in the system's ANSI code page.
  std::function<std::string(std::string_view)> Ansi();
  // The file's bytes for a rewrite; nullopt when it is missing.
  std::optional<std::string> LoadForWrite();
  // bytes with one write done; throws WriteError when it cannot be.
  std::string WithValue(std::string bytes, const Write& write);
  void Store(const std::string& bytes);

  platform::Files& files_;
  std::string path_;
  StoreLock* lock_;
  // Parsed copy, valid while the file's stamp is unchanged.
  std::unique_ptr<ini::Document> cache_;
  platform::FileStamp cache_stamp_;
  bool cache_trusted_ = false;
  uint64_t version_ = 0;
  int batches_ = 0;
  // The cache was checked against the disk in the running batch.
  bool checked_in_batch_ = false;
};

}  // namespace registry
