// A hidden top-level window that only receives messages: what a component
// needs when the system talks to it by window (the notification area's
// call-backs, broadcasts to every top-level window). Headless, messages reach
// it only as a test sends them.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tk {

class MessageWindowPeer {
 public:
  virtual ~MessageWindowPeer() = default;
  // The native window handle, for the system calls that name it.
  virtual uintptr_t Handle() const = 0;
};

class MessageWindow {
 public:
  // class_name names the window's class, so that other programs find it.
  explicit MessageWindow(std::string class_name);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  const std::string& ClassName() const { return class_name_; }
  // 0 headless.
  uintptr_t Handle() const { return peer_ ? peer_->Handle() : 0; }

  // Sees every message; returns true when it handled it and set result.
  // Messages it leaves go to the system's default handling.
  std::function<bool(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result)> OnMessage;

 private:
  friend class BackendAccess;
  // A message arrived. Runs OnMessage through the application's error
  // handler; false when nobody handled it.
  bool DoMessage(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result);
  std::string class_name_;
  std::unique_ptr<MessageWindowPeer> peer_;
};

}  // namespace tk
