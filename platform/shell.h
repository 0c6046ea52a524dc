#pragma once
#include <string>

namespace platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // ShellExecute with the verb "open", normal window; true when the shell took it.
  virtual bool Open(const std::string& document) = 0;
};

}  // namespace platform
