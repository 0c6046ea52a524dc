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
  if (ended_) return;
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
  if (last_) {
    std::function<void()> job = std::move(last_);
    last_ = nullptr;
    tk::App().Invoke(job);
  }
  busy_ = false;
  if (error) std::rethrow_exception(error);
}

void ScanGate::RunLast(std::function<void()> job) {
  if (ended_) return;
  ended_ = true;
  deferred_.clear();
  if (busy_) {
    last_ = std::move(job);
    return;
  }
  busy_ = true;
  tk::App().Invoke(job);
  busy_ = false;
}

}  // namespace registry
