// The facts of program files over the portable files: the size and
// contents are the files' own; the version resource's company, the
// signature (of the file or of a catalog naming its hash) and the variables
// are what the test sets.
#pragma once
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/program_files.h"

namespace platform::portable {

class PortableProgramFiles : public ProgramFiles {
 public:
  explicit PortableProgramFiles(Files& files);
  FileFacts Facts(const std::string& path) override;
  // The size and write time as Stat gives them; the ID is the path's own,
  // as a file replaced by another name keeps none of it.
  std::optional<FileIdentity> Identity(const std::string& path) override;
  // The host file's status change time stands for the change time.
  std::optional<FileIdentity> Glance(const std::string& path) override;
  std::optional<std::string> Sha256(const std::string& path) override;
  // Grouped by thousands with commas, as an English locale does.
  std::string Grouped(uint64_t number) override;
  // %SystemRoot%, %windir%, %ProgramFiles% and what SetVariable adds;
  // names match without regard to case; unknown ones stay as they are.
  std::string Expand(const std::string& text) override;

  // What the file at path says of itself and how it is signed, from now on.
  void SetCompany(const std::string& path, std::string company);
  void SetSignature(const std::string& path, SignatureKind kind, std::string signer = {});
  void SetVariable(const std::string& name, std::string value);
  // Facts waits while held, as on a slow disk or a large file.
  void HoldFacts(bool held);
  // The file is there but cannot be opened, as one whose access list denies it.
  void DenyReading(const std::string& path);
  // How many files were hashed so far.
  int Hashed();

 private:
  Files& files_;
  std::mutex mu_;
  std::condition_variable released_;
  bool held_ = false;
  std::map<std::string, std::string> companies_;
  std::map<std::string, std::pair<SignatureKind, std::string>> signatures_;
  std::map<std::string, std::string> variables_;
  std::set<std::string> unreadable_;
  int hashed_ = 0;
};

}  // namespace platform::portable
