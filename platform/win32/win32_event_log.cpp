#include "platform/win32/win32_event_log.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

// ReportEventW refuses the whole event when one string is longer than
// 31,839 characters; a command line can be. The start of it says enough.
constexpr size_t kMaxInsertion = 8192;

}  // namespace

uint32_t MessageId(EventLevel level, uint32_t id) {
  // The message compiler's severities: informational 1, warning 2, error 3.
  const uint32_t severity = level == EventLevel::Error ? 3 : level == EventLevel::Warning ? 2 : 1;
  return severity << 30 | (id & 0xFFFF);
}

Win32EventLog::~Win32EventLog() {
  if (source_) DeregisterEventSource(source_);
}

bool Win32EventLog::Report(EventLevel level, uint32_t id, const std::vector<std::string>& strings) {
  if (!tried_) {
    tried_ = true;
    source_ = RegisterEventSourceW(nullptr, L"Veltrane");
  }
  if (!source_) return false;
  std::vector<std::wstring> wide;
  for (const std::string& s : strings) wide.push_back(Wide(CutToUtf16Units(s, kMaxInsertion)));
  std::vector<LPCWSTR> pointers;
  for (const std::wstring& w : wide) pointers.push_back(w.c_str());
  const WORD type = level == EventLevel::Error     ? EVENTLOG_ERROR_TYPE
                    : level == EventLevel::Warning ? EVENTLOG_WARNING_TYPE
                                                   : EVENTLOG_INFORMATION_TYPE;
  return ReportEventW(source_, type, 0, MessageId(level, id), nullptr, WORD(pointers.size()), 0,
                      pointers.empty() ? nullptr : pointers.data(), nullptr);
}

}  // namespace platform::win32
