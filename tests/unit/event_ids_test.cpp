// The program reports events by the ids and levels of registry/events.h;
// their texts come from the message table compiled from main/events.mc. The
// two must name the same events, or the log shows "description not found".
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "registry/events.h"

// The host build knows where the sources are.
#ifdef VELTRANE_EVENTS_MC
namespace {

struct McMessage {
  uint32_t id = 0;
  std::string severity;
  std::string text;
};

std::vector<McMessage> ReadMessageFile(const char* path) {
  std::ifstream in(path);
  std::vector<McMessage> messages;
  std::string line;
  bool in_text = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (in_text) {
      if (line == ".")
        in_text = false;
      else
        messages.back().text += line;
    } else if (line.starts_with("MessageId=")) {
      messages.push_back({uint32_t(std::stoul(line.substr(10))), "", ""});
    } else if (line.starts_with("Severity=") && !messages.empty()) {
      messages.back().severity = line.substr(9);
    } else if (line.starts_with("Language=") && !messages.empty()) {
      in_text = true;
    }
  }
  return messages;
}

TEST(EventIds, TheMessageFileAndTheProgramNameTheSameEventsAtTheSameLevels) {
  const std::map<platform::EventLevel, std::string> severity{{platform::EventLevel::Information, "Informational"},
                                                             {platform::EventLevel::Warning, "Warning"},
                                                             {platform::EventLevel::Error, "Error"}};
  const std::vector<McMessage> messages = ReadMessageFile(VELTRANE_EVENTS_MC);
  ASSERT_EQ(messages.size(), std::size(events::kAll));
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i].id, events::kAll[i].id);
    EXPECT_EQ(messages[i].severity, severity.at(events::kAll[i].level)) << messages[i].id;
    EXPECT_FALSE(messages[i].text.empty()) << messages[i].id;
  }
}

}  // namespace
#endif
