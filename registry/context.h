// What every engine works with: the platform, the data files, the settings,
// the watch of the guarded places, and the person, whom the engines tell and
// ask things through the context (they hold no widgets). The main window's
// protection implements it.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/autorun.h"
#include "registry/data_files.h"
#include "registry/events.h"
#include "registry/program_facts.h"
#include "registry/settings.h"
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
  // What "Delete" asks before it is carried out.
  std::string confirmation = "Are you sure that you want to remove this registry entry?";
  // The facts of the entry's program, as they are found.
  std::shared_ptr<FactsRequest> facts;
  // The entry was known, but its program changed since.
  bool program_changed = false;
};

// The live watch of the guarded places.
class Watch {
 public:
  virtual ~Watch() = default;
  // Starts it, unless the program is ending.
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool Watching() const = 0;
  // "Live autostart test": the watch runs again after every scan.
  virtual bool Live() const = 0;
};

// The watch stopped for a while, and back afterwards by one of two rules,
// however the work in between ends (an error included).
enum class WatchAfter {
  // A scan: it runs again whenever "Live autostart test" is ticked. After
  // "No" to the change question only the next scan brings it back.
  Scan,
  // The program's own change to a guarded place: nobody is asked about it,
  // and the watch comes back exactly as it was.
  OwnChange,
};

class WatchPause {
 public:
  WatchPause(Watch& watch, WatchAfter rule) : watch_(watch), rule_(rule), was_watching_(watch.Watching()) {
    watch_.Stop();
  }
  ~WatchPause() {
    if (rule_ == WatchAfter::Scan ? watch_.Live() : was_watching_) watch_.Start();
  }
  WatchPause(const WatchPause&) = delete;
  WatchPause& operator=(const WatchPause&) = delete;

 private:
  Watch& watch_;
  const WatchAfter rule_;
  const bool was_watching_;
};

class Context {
 public:
  virtual ~Context() = default;

  virtual platform::Platform Platform() = 0;
  // The data files, which the start-up opens before anything can use them.
  virtual DataFiles& Data() = 0;
  virtual const registry::Settings& Settings() = 0;
  virtual registry::Watch& Watch() = 0;

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
  // work: a log that cannot be written is the context's to tell.
  virtual void Log(events::Event event, const std::vector<std::string>& strings) = 0;
  // Windows refused Veltrane a key or folder (its text as KeyText gives
  // it): a finding to tell, or, for a copy without an administrator's
  // rights, the end.
  virtual void Refused(const std::string& key_text, Refusal refusal) = 0;

  // The scan page shown; the scan has come to item `position` of 0..max.
  virtual void ShowScanPage() = 0;
  virtual void Progress(int position, int max) = 0;
  // The tray balloon with its current text, or with this text from now on;
  // none once the program is ending.
  virtual void ShowBalloon() = 0;
  virtual void ShowBalloon(const std::string& text) = 0;
  // The registry alert about an autostart entry, and the forbidden-process
  // alert about the program at path (one that the policy forbids cannot be
  // allowed there); the person's answer.
  virtual Decision Ask(const Question& question) = 0;
  virtual Decision Ask(const std::string& path, bool forbidden_by_policy) = 0;
  // Starts finding the facts of the program that the command starts.
  virtual std::shared_ptr<FactsRequest> FindFacts(const std::string& command) = 0;
  // A notice in the status line, each text once per run.
  virtual void Notice(const std::string& text) = 0;
  // Runs the call on the Task Scheduler's worker thread, the window served
  // meanwhile; its answer (0, or an HRESULT).
  virtual uint32_t OnScheduler(std::function<uint32_t()> call) = 0;
  // The lists, and the running programs, shown anew.
  virtual void RefreshLists() = 0;
  virtual void RefreshProcessList() = 0;
  // The process engines, for the registry scan's answers: the text on the
  // black list, and the file in the trashcan (true when it is there and on
  // its list), each telling the person itself.
  virtual void BlockProgram(const std::string& text) = 0;
  virtual bool MoveToTrashcan(const std::string& path) = 0;

  // A plain box: OK only, no icon.
  void Say(const std::string& text) { Tell(tk::MsgKind::Plain, text); }
  void Warn(const std::string& text) { Tell(tk::MsgKind::Warning, text); }
  // A warning with OK and Cancel; true for OK.
  bool Confirm(const std::string& question) {
    return Tell(tk::MsgKind::Warning, question, tk::MsgButtons::OkCancel) == tk::ModalResult::Ok;
  }
};

}  // namespace registry
