#include "toolkit/message_window.h"

#include "toolkit/application.h"

namespace tk {

MessageWindow::MessageWindow(std::string class_name) : class_name_(std::move(class_name)) {
  if (Application::Exists()) peer_ = App().GetBackend().CreateMessageWindow(*this);
}

MessageWindow::~MessageWindow() {
  // No message may reach a handler whose owner is going.
  OnMessage = nullptr;
  peer_.reset();
}

bool MessageWindow::DoMessage(unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) {
  if (!OnMessage) return false;
  bool handled = false;
  auto handler = OnMessage;  // it may replace itself
  if (Application::Exists())
    App().Invoke([&] { handled = handler(msg, wp, lp, result); });
  else
    handled = handler(msg, wp, lp, result);
  return handled;
}

}  // namespace tk
