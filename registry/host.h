// What every engine needs from the program around it. The engines hold no
// widgets: they let the window work between their steps, ask whether the
// program is ending, and tell the person things, all through their host;
// the main window implements the hosts.
#pragma once
#include <string>
#include <vector>

#include "registry/events.h"
#include "toolkit/types.h"

namespace registry {

// The person's answer in an alert.
enum class Answer {
  Allow,       // let the entry stay (it goes on the white list), or the program work
  Delete,      // the registry alert: delete the autostart entry
  Stop,        // the forbidden-process alert: stop the program
  Unanswered,  // the alert was closed without an answer
};

// An alert's answer with its box: "Add this executable to the list of
// forbidden processes" in the registry alert (zabron), "Delete this program"
// in the forbidden-process alert (usun).
struct Decision {
  Answer answer = Answer::Unanswered;
  bool ticked = false;
};

// What the registry alert asks about: one autostart entry, named by the
// alert's rows.
struct Question {
  std::string sekcja_rejestru;  // "Registry section:", the key's section text
  std::string nazwa_klucza;     // "Value name:"
  std::string wartosc_klucza;   // "Value:", the data as the alert shows it
  std::string sciezka_pliku;    // "Executable path:", the data up to its last '\' or ':'
  std::string nazwa_pliku;      // "Exec name:", the rest
};

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // Lets the window repaint and handle clicks between steps of long work;
  // any handler may run meanwhile.
  virtual void Pump() = 0;
  // The program is ending (or its window was closed): nothing more is
  // examined, asked about or acted on.
  virtual bool Ending() = 0;
  // A message box of that kind; the button the person pressed.
  virtual tk::ModalResult Tell(tk::MsgKind kind, const std::string& text,
                               tk::MsgButtons buttons = tk::MsgButtons::Ok) = 0;
  // Writes the event to the Windows event log. Never fails nor stops the
  // work: a log that cannot be written is the host's to tell.
  virtual void Log(events::Event event, const std::vector<std::string>& strings) = 0;
  // A plain box: OK only, no icon.
  void Say(const std::string& text) { Tell(tk::MsgKind::Plain, text); }
  void Warn(const std::string& text) { Tell(tk::MsgKind::Warning, text); }
  // A warning with OK and Cancel; true for OK.
  bool Confirm(const std::string& question) {
    return Tell(tk::MsgKind::Warning, question, tk::MsgButtons::OkCancel) == tk::ModalResult::Ok;
  }
};

}  // namespace registry
