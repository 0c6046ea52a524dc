// Keeps scans from starting inside one another. A scan pumps messages and
// shows modal alerts, so an hourly tick, a registry-change reaction, a click
// on "Scan now" or the exit scan can all arrive while one runs; the hand-off
// channel serves one alert at a time. Such a request is not refused but
// deferred: it runs once, after the running scan has ended.
#pragma once
#include <deque>
#include <functional>

namespace registry {

// What a queued scan was asked for: "Scan now" (the hourly scan too), the
// registry scan of the change reaction, the exit scan, the memory scan of a
// newly forbidden program, the start-up, the quiet scans of the scheduled
// tasks, of the services and of the hijack places after a change there.
enum class ScanRequest { ScanNow, FullScan, ExitScan, MemoryScan, StartUp, QuietTasks, QuietServices, QuietHijacks };

class ScanGate {
 public:
  // Runs scan at once when no scan is running. Otherwise queues it, once per
  // kind of request, to run after the running scan; deferred scans are
  // dropped when the program is ending. An error of the running scan reaches
  // its caller after the deferred scans have run; an error of a deferred
  // scan is shown in the standard error box.
  void Run(ScanRequest request, std::function<void()> scan);
  // The program is ending while a scan runs (which the caller makes stop):
  // the waiting scans are dropped, and job runs once the running scan has
  // ended. Nothing asked for later runs, not even from inside job.
  void RunLast(std::function<void()> job);
  bool Busy() const { return busy_; }
  bool Pending(ScanRequest request) const;

 private:
  struct Deferred {
    ScanRequest request;
    std::function<void()> scan;
  };
  bool busy_ = false;
  bool ended_ = false;
  std::function<void()> last_;
  std::deque<Deferred> deferred_;
};

}  // namespace registry
