// How a backend tells the model what the window system did. Programs set a
// control's state and simulate the user through the public members; what
// only the window system knows (where it put a window, which one is active,
// a timer's tick, a message that arrived) reaches the model through here.
#pragma once
#include <cstdint>
#include <memory>
#include "toolkit/application.h"
#include "toolkit/message_window.h"

namespace tk {

class BackendAccess {
 public:
  static ControlPeer* Peer(const Control& control) { return control.Peer(); }
  // Replaces the control's peer; nullptr leaves it without one.
  static void AttachPeer(Control& control, std::unique_ptr<ControlPeer> peer) {
    control.AttachPeer(std::move(peer));
  }
  static void NoteBounds(Control& control, const Rect& r) { control.NoteBounds(r); }
  static void NoteItemIndex(ListBox& list, int index) { list.NoteItemIndex(index); }

  static void NoteActivated(Form& form) { form.NoteActivated(); }
  static void NoteDeactivated(Form& form) { form.NoteDeactivated(); }
  static void NoteScreenPos(Form& form, int left, int top) { form.NoteScreenPos(left, top); }
  static void NoteMinimized(Form& form, bool minimized) { form.NoteMinimized(minimized); }

  static void DoTimer(Timer& timer) { timer.DoTimer(); }
  static bool DoMessage(MessageWindow& window, unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) {
    return window.DoMessage(msg, wp, lp, result);
  }
  // Windows is ending the session.
  static void EndSession() { App().EndSession(); }
};

}  // namespace tk
