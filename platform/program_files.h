// What the program files that autostart entries start say about themselves,
// and what Windows verifies of them: their size, the company their version
// resource names, their signature, their identity and their SHA-256.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class SignatureKind {
  NotSigned,
  Signed,            // valid, and Windows trusts the signer
  UntrustedSigner,   // valid, but the signer's root is not trusted
  ChangedAfterSigning,  // TRUST_E_BAD_DIGEST
};

struct FileFacts {
  bool exists = false;
  uint64_t size = 0;
  // The CompanyName of the version resource; nullopt when there is none.
  std::optional<std::string> company;
  SignatureKind signature = SignatureKind::NotSigned;
  // The signer certificate's subject common name, for Signed and
  // UntrustedSigner; the signature of the file itself or of the catalog
  // that names its hash.
  std::string signer;
};

// What tells a file apart cheaply: a file replaced or written changes at
// least one of these. Its write time can be forged; its change time moves
// with every rename and change of its entry, and its ID is its own.
struct FileIdentity {
  uint64_t size = 0;
  uint64_t write_time = 0;   // FILETIMEs, as one number each
  uint64_t change_time = 0;
  std::string file_id;       // the volume serial and the file index, in hex
  bool operator==(const FileIdentity&) const = default;
};

class ProgramFiles {
 public:
  virtual ~ProgramFiles() = default;
  // Reads and verifies the whole file: slow, for a worker thread. Never
  // waits on the network (no revocation checks, cached URLs only).
  virtual FileFacts Facts(const std::string& path) = 0;
  // nullopt when the file is missing or cannot be opened.
  virtual std::optional<FileIdentity> Identity(const std::string& path) = 0;
  // The size and times, asked by the file's name without opening it, which
  // costs a fraction of an open: the ID is left empty. nullopt when the
  // file is missing or cannot be looked at.
  virtual std::optional<FileIdentity> Glance(const std::string& path) = 0;
  // The SHA-256 of its contents in lower-case hex, read in blocks through
  // a handle that lets others read, write and delete meanwhile; nullopt
  // when it cannot be read.
  virtual std::optional<std::string> Sha256(const std::string& path) = 0;
  // The number with the person's digit grouping: "1,234,567".
  virtual std::string Grouped(uint64_t number) = 0;
  // The text with %variables% expanded, the person's and the machine's.
  virtual std::string Expand(const std::string& text) = 0;
};

}  // namespace platform
