// The system's event log, under the program's own event source: what an
// administrator of many machines reads or collects.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class EventLevel { Information, Warning, Error };

class EventLog {
 public:
  virtual ~EventLog() = default;
  // Writes event `id` of the source's message table with its insertion
  // strings (%1, %2, ...). False when the log did not take it.
  virtual bool Report(EventLevel level, uint32_t id, const std::vector<std::string>& strings) = 0;
};

}  // namespace platform
