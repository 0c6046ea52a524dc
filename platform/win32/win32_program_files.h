// The facts of program files as Windows tells them: the file through a
// native handle, its signature through WinVerifyTrust (the file's own or a
// catalog's), its company from its version resource, its hash through CNG.
#pragma once
#include <optional>
#include <string>

#include "platform/program_files.h"

namespace platform::win32 {

class Win32ProgramFiles : public ProgramFiles {
 public:
  FileFacts Facts(const std::string& path) override;
  std::optional<FileIdentity> Identity(const std::string& path) override;
  std::optional<FileIdentity> Glance(const std::string& path) override;
  std::optional<std::string> Sha256(const std::string& path) override;
  std::string Grouped(uint64_t number) override;
  // Text that is not UTF-8 comes back as it was: it names nothing here.
  std::string Expand(const std::string& text) override;
};

}  // namespace platform::win32
