// The application object: message loop with its idle event, modal loops,
// message boxes, timers, hand-over from worker threads, and the default
// error handler.
#pragma once
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "toolkit/backend.h"
#include "toolkit/form.h"

namespace tk {

class Application {
 public:
  // The class of the application's own window, which other copies look for.
  static constexpr char kWindowClass[] = "TApplication";

  explicit Application(Backend& backend);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The one application of the process; exists between construction and destruction.
  static Application& Instance();
  static bool Exists();

  Backend& GetBackend() { return backend_; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);

  // The first form shown through Run; ending its life ends the program.
  Form* MainForm() const { return main_form_; }
  void SetMainForm(Form* form) { main_form_ = form; }
  // Whether Run shows the main form (a second copy switches it off).
  bool ShowMainForm() const { return show_main_form_; }
  void SetShowMainForm(bool show) { show_main_form_ = show; }

  // Runs the message loop until Terminate takes effect.
  void Run();
  // One message, or the idle event when there is none.
  void HandleMessage();
  // Handles every pending message, then returns.
  void ProcessMessages();
  // Asks the loop to stop; takes effect when control returns to the loop.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Raised each time the loop finds its queue empty. Leaving done set lets
  // the loop wait for the next message.
  std::function<void(bool& done)> OnIdle;

  ModalResult MessageBox(MsgKind kind, const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                         const std::string& caption = {});
  // A plain box: OK only, no icon, captioned with the title.
  void ShowMessage(const std::string& text) { MessageBox(MsgKind::Plain, text); }

  // Shows the form modally. Its activation work (OnActivate) runs once as
  // it is shown, also when the window system does not activate it (another
  // program holds the foreground): a dialog must not wait for a click to do
  // its work. Later activations run it again as they come.
  ModalResult ShowModal(Form& form);
  int ModalDepth() const { return modal_depth_; }
  // The forms whose modal loops are running, the innermost last.
  const std::vector<Form*>& ModalForms() const { return modal_forms_; }

  // From any thread: runs call on the UI thread later, through the error
  // handler, and returns at once. Calls left when the program ends are dropped.
  void Queue(std::function<void()> call);

  // Windows is ending the session (log-off, shutdown): OnEndSession runs
  // once, then the loop is asked to stop. Whatever must be undone before
  // the process may be killed is undone in OnEndSession.
  std::function<void()> OnEndSession;
  bool OnUiThread() const { return std::this_thread::get_id() == ui_thread_; }

  // Runs a handler; an exception it lets out is shown in an error box
  // captioned with the title, and the program runs on.
  void Invoke(const std::function<void()>& handler);
  void ShowException(const std::exception& e);

 private:
  friend class BackendAccess;
  void EndSession();
  void Idle();
  Backend& backend_;
  std::string title_;
  Form* main_form_ = nullptr;
  bool show_main_form_ = true;
  bool terminated_ = false;
  int modal_depth_ = 0;
  std::vector<Form*> modal_forms_;
  bool session_ended_ = false;
  std::thread::id ui_thread_;
};

// Shorthand for Application::Instance().
inline Application& App() { return Application::Instance(); }

}  // namespace tk
