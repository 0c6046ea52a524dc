#include "platform/portable/portable_shell.h"

namespace platform::portable {

bool PortableShell::Open(const std::string& document) {
  std::lock_guard lock(mu_);
  if (fails_ || document.empty() || document.find('\0') != std::string::npos) return false;
  opened_.push_back(document);
  return true;
}

std::vector<std::string> PortableShell::Opened() const {
  std::lock_guard lock(mu_);
  return opened_;
}

void PortableShell::SetFails(bool fails) {
  std::lock_guard lock(mu_);
  fails_ = fails;
}

}  // namespace platform::portable
