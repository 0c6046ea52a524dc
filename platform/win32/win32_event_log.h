// The Application log through the classic event source calls; the source's
// messages are the message table of the program file that the source's
// registration names.
#pragma once
#include <cstdint>

#include "platform/event_log.h"

namespace platform::win32 {

// An event's id as a message table holds it: its severity in the two top
// bits, which ReportEventW must be given too for the message to be found.
uint32_t MessageId(EventLevel level, uint32_t id);

class Win32EventLog : public EventLog {
 public:
  Win32EventLog() = default;
  ~Win32EventLog() override;
  Win32EventLog(const Win32EventLog&) = delete;
  Win32EventLog& operator=(const Win32EventLog&) = delete;

  // Registers the source on first use only, and only once: a program that
  // never reports anything opens nothing.
  bool Report(EventLevel level, uint32_t id, const std::vector<std::string>& strings) override;

 private:
  bool tried_ = false;
  void* source_ = nullptr;  // HANDLE
};

}  // namespace platform::win32
