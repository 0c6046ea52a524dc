// A dialog result as the button that gives it is captioned, for tests that
// log what their forms returned.
#pragma once
#include "toolkit/types.h"

inline const char* ModalResultName(tk::ModalResult r) {
  switch (r) {
    case tk::ModalResult::None: return "None";
    case tk::ModalResult::Ok: return "OK";
    case tk::ModalResult::Cancel: return "Cancel";
    case tk::ModalResult::Abort: return "Abort";
    case tk::ModalResult::Retry: return "Retry";
    case tk::ModalResult::Ignore: return "Ignore";
    case tk::ModalResult::Yes: return "Yes";
    case tk::ModalResult::No: return "No";
  }
  return "?";
}
