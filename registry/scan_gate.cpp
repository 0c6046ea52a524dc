#include "registry/scan_gate.h"

#include <exception>

#include "toolkit/application.h"

namespace registry {

bool ScanGate::Pending(ScanRequest request) const {
  for (const Deferred& d : deferred_)
    if (d.request == request) return true;
  return false;
}

void ScanGate::Run(ScanRequest request, std::function<void()> scan) {
  if (busy_) {
    if (!Pending(request)) deferred_.push_back({request, std::move(scan)});
    return;
  }
  busy_ = true;
  std::exception_ptr error;
  try {
    scan();
  } catch (...) {
    error = std::current_exception();
  }
  while (!deferred_.empty()) {
    Deferred next = std::move(deferred_.front());
    deferred_.pop_front();
    if (tk::App().Terminated()) continue;
    tk::App().Invoke(next.scan);
  }
  busy_ = false;
  if (error) std::rethrow_exception(error);
}

}  // namespace registry
