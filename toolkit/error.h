// The one exception type that handlers let travel to the message loop, which
// shows its text in an error box and lets the program run on.
#pragma once
#include <stdexcept>
#include <string>

namespace tk {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tk
