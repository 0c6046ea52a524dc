// Keeps every event reported, in order; can be told to refuse them, as a
// system whose log is full or switched off does.
#pragma once
#include "platform/event_log.h"

namespace platform::portable {

class PortableEventLog : public EventLog {
 public:
  struct Event {
    EventLevel level;
    uint32_t id;
    std::vector<std::string> strings;
    bool operator==(const Event&) const = default;
  };

  bool Report(EventLevel level, uint32_t id, const std::vector<std::string>& strings) override {
    if (fails) return false;
    events.push_back({level, id, strings});
    return true;
  }

  std::vector<Event> events;
  bool fails = false;
};

}  // namespace platform::portable
