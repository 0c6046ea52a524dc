// Records the documents the program asks the shell to open.
#pragma once
#include <mutex>
#include <vector>

#include "platform/shell.h"

namespace platform::portable {

class PortableShell : public Shell {
 public:
  bool Open(const std::string& document) override;

  std::vector<std::string> Opened() const;
  // Open reports failure (no program for the document) without recording it.
  void SetFails(bool fails);

 private:
  mutable std::mutex mu_;
  std::vector<std::string> opened_;
  bool fails_ = false;
};

}  // namespace platform::portable
