#include "tests/doubles/headless/headless_backend.h"

#include <chrono>
#include <stdexcept>
#include "toolkit/backend_access.h"

namespace tk::headless {

namespace {
// How long, in virtual time, a modal form may wait for its timers before it
// counts as left unanswered (keeps an hourly timer from spinning the clock).
constexpr int64_t kModalPatienceMs = 10 * 60 * 1000;

ModalResult FirstButton(MsgButtons b) {
  switch (b) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return ModalResult::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return ModalResult::Yes;
    case MsgButtons::RetryCancel: return ModalResult::Retry;
    case MsgButtons::AbortRetryIgnore: return ModalResult::Abort;
  }
  return ModalResult::Ok;
}
}  // namespace

bool HeadlessBackend::Click(Control& control) {
  if (!control.Enabled() || !control.Showing()) return false;
  Post([&control] {
    if (control.Kind() == ControlKind::CheckBox) {
      static_cast<CheckBox&>(control).UserClick();
    } else {
      control.DoClick();
      control.DoMouseUp(MouseButton::Left, control.Width() / 2, control.Height() / 2);
    }
  });
  return true;
}

bool HeadlessBackend::PressSpace(CheckBox& box) {
  if (!box.Enabled() || !box.Showing()) return false;
  Post([&box] { box.UserToggle(); });
  return true;
}

bool HeadlessBackend::Select(ListBox& list, int index) {
  if (!list.Enabled() || !list.Showing() || index < 0 || index >= list.Count()) return false;
  Post([&list, index] { list.UserSelect(index); });
  return true;
}

bool HeadlessBackend::MouseMove(Control& control, int x, int y) {
  if (!control.Showing()) return false;
  Post([&control, x, y] { control.DoMouseMove(x, y); });
  return true;
}

void HeadlessBackend::CloseBox(Form& form) {
  Post([&form] { form.Close(); });
}

void HeadlessBackend::MinimizeBox(Form& form) {
  Post([&form] { BackendAccess::NoteMinimized(form, true); });
}

void HeadlessBackend::PostNamedMessage(const std::string& name, Rights sender) {
  Post([this, name, sender] {
    if (const Listening* listening = ListeningFor(name, sender)) {
      auto handlers = listening->handlers;  // a handler may add listeners
      for (auto& handler : handlers) handler();
    }
  });
}

intptr_t HeadlessBackend::SendNamedMessage(const std::string& name, Rights sender) {
  const Listening* listening = ListeningFor(name, sender);
  return listening ? listening->answer : 0;
}

const HeadlessBackend::Listening* HeadlessBackend::ListeningFor(const std::string& name, Rights sender) const {
  auto it = listeners_.find(name);
  if (it == listeners_.end()) return nullptr;
  if (sender == Rights::Fewer && it->second.lowest_sender != Rights::Fewer) return nullptr;
  return &it->second;
}

void HeadlessBackend::EndSession() {
  Post([] { BackendAccess::EndSession(); });
}

bool HeadlessBackend::Send(uintptr_t window, unsigned msg, uintptr_t wp, intptr_t lp, intptr_t& result) {
  auto it = windows_->find(window);
  return it != windows_->end() && BackendAccess::DoMessage(*it->second, msg, wp, lp, result);
}

void HeadlessBackend::AttachPeer(Control& control, std::unique_ptr<ControlPeer> peer) {
  BackendAccess::AttachPeer(control, std::move(peer));
}

void HeadlessBackend::Queue(std::function<void()> call) { Post(std::move(call)); }

void HeadlessBackend::Popup(PopupMenu& menu, int x, int y, MessageWindow* owner) {
  popups_.push_back(menu.Name());
  popup_owner_ = owner ? owner->Handle() : 0;
  std::string chosen = popup_answerer ? popup_answerer(menu) : std::string();
  if (!chosen.empty()) menu.Choose(chosen);
}

namespace {
class HeadlessWindowPeer : public MessageWindowPeer {
 public:
  HeadlessWindowPeer(std::shared_ptr<std::map<uintptr_t, MessageWindow*>> windows, uintptr_t handle,
                     MessageWindow& window)
      : windows_(std::move(windows)), handle_(handle) {
    (*windows_)[handle_] = &window;
  }
  ~HeadlessWindowPeer() override { windows_->erase(handle_); }
  uintptr_t Handle() const override { return handle_; }

 private:
  std::shared_ptr<std::map<uintptr_t, MessageWindow*>> windows_;
  uintptr_t handle_;
};
}  // namespace

std::unique_ptr<MessageWindowPeer> HeadlessBackend::CreateMessageWindow(MessageWindow& window) {
  next_window_ += 4;
  return std::make_unique<HeadlessWindowPeer>(windows_, next_window_, window);
}

unsigned HeadlessBackend::RegisterMessage(const std::string& name) {
  // As the system's: one number per name, from 0xC000 up.
  auto [it, added] = registered_.emplace(name, 0xC000u + unsigned(registered_.size()));
  return it->second;
}

void HeadlessBackend::ListenForMessage(const std::string& name, std::function<void()> handler, Rights lowest_sender,
                                       intptr_t answer) {
  Listening& listening = listeners_[name];
  listening.handlers.push_back(std::move(handler));
  // As on Windows: once let through, a message stays let through.
  if (lowest_sender == Rights::Fewer) listening.lowest_sender = Rights::Fewer;
  listening.answer = answer;
}

void HeadlessBackend::Post(std::function<void()> event) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(std::move(event));
  }
  cv_.notify_all();
}

bool HeadlessBackend::ProcessOne() {
  if (on_serve) on_serve();
  std::function<void()> event;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!posted_.empty()) {
      event = std::move(posted_.front());
      posted_.pop_front();
    }
  }
  ++processed_;
  if (event) {
    App().Invoke(event);
    return true;
  }
  // Timers tick only when nothing else is waiting, like WM_TIMER.
  if (Timer* due = EarliestTimer(now_)) {
    timers_[due] = now_ + due->Interval();
    // A tick while the timer's own handler still runs (it shows a form, a
    // box, pumps) is dropped, as the Windows backend drops it.
    if (!ticking_.insert(due).second) return true;
    BackendAccess::DoTimer(*due);  // may stop or destroy the timer
    ticking_.erase(due);
    return true;
  }
  --processed_;
  return false;
}

Timer* HeadlessBackend::EarliestTimer(int64_t not_after) const {
  Timer* best = nullptr;
  int64_t best_due = 0;
  for (const auto& [timer, due] : timers_)
    if (due <= not_after && (!best || due < best_due)) {
      best = timer;
      best_due = due;
    }
  return best;
}

void HeadlessBackend::WaitForEvent() {
  {
    // What the idle handler itself posted is waiting already.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!posted_.empty()) return;
  }
  if (modals_.empty()) {
    idle_reached_ = true;
    if (draining_) return;
    // A whole-program Run(): timers up to the deadline, then the end.
    if (Timer* next = EarliestTimer(run_deadline_)) {
      if (timers_[next] > now_) now_ = timers_[next];
    } else {
      App().Terminate();
    }
    return;
  }
  ModalSession& session = modals_.back();
  if (modal_answerer) {
    bool acted = false;
    App().Invoke([&] { acted = modal_answerer(*session.form); });
    if (acted) return;
  }
  if (Timer* next = EarliestTimer(session.started + kModalPatienceMs)) {
    if (timers_[next] > now_) now_ = timers_[next];
    return;
  }
  ++unanswered_;
  session.form->SetModalResult(ModalResult::Cancel);
}

void HeadlessBackend::Wake() { cv_.notify_all(); }

void HeadlessBackend::RunUntilIdle() {
  Application& app = App();
  bool outer = draining_;
  draining_ = true;
  for (int quiet = 0; quiet < 2 && !app.Terminated();) {
    idle_reached_ = false;
    uint64_t before = processed_;
    app.HandleMessage();
    if (idle_reached_ || processed_ == before)
      ++quiet;
    else
      quiet = 0;
    if (idle_reached_) break;
  }
  draining_ = outer;
}

void HeadlessBackend::Advance(int64_t ms) {
  const int64_t target = now_ + ms;
  RunUntilIdle();
  while (!App().Terminated()) {
    Timer* next = EarliestTimer(target);
    if (!next) break;
    if (timers_[next] > now_) now_ = timers_[next];
    RunUntilIdle();
  }
  if (now_ < target) now_ = target;
  RunUntilIdle();
}

int64_t HeadlessBackend::NextTick(const Timer& timer) const {
  auto it = timers_.find(const_cast<Timer*>(&timer));
  return it == timers_.end() ? -1 : it->second;
}

void HeadlessBackend::AnswerBoxes(std::initializer_list<ModalResult> answers) {
  box_answers_.insert(box_answers_.end(), answers.begin(), answers.end());
}

std::vector<std::string> HeadlessBackend::BoxTexts() const {
  std::vector<std::string> texts;
  for (const BoxRecord& b : boxes_) texts.push_back(b.text);
  return texts;
}

void HeadlessBackend::BeginModal(Form& form) {
  if (on_serve) on_serve();
  modal_log_.push_back(form.Name());
  modals_.push_back(ModalSession{&form, now_});
  form.SetVisible(true);
  if (!refuse_activation) BackendAccess::NoteActivated(form);
}

void HeadlessBackend::SwitchAwayAndBack(Form& form) {
  Post([&form] {
    if (!form.Showing()) return;
    BackendAccess::NoteDeactivated(form);
    BackendAccess::NoteActivated(form);
  });
}

void HeadlessBackend::EndModal(Form& form) {
  BackendAccess::NoteDeactivated(form);
  if (!modals_.empty() && modals_.back().form == &form) modals_.pop_back();
}

ModalResult HeadlessBackend::ShowMessageBox(MsgKind kind, const std::string& caption,
                                            const std::string& text, MsgButtons buttons) {
  if (on_serve) on_serve();
  BoxRecord record{kind, caption, text, buttons, FirstButton(buttons)};
  if (!box_answers_.empty()) {
    record.answer = box_answers_.front();
    box_answers_.pop_front();
  } else if (box_answerer) {
    record.answer = box_answerer(record);
  }
  boxes_.push_back(record);
  return record.answer;
}

void HeadlessBackend::UpdateTimer(Timer& timer) {
  if (timer.Armed())
    timers_[&timer] = now_ + timer.Interval();
  else
    timers_.erase(&timer);
}

void HeadlessBackend::RemoveTimer(Timer& timer) {
  timers_.erase(&timer);
  ticking_.erase(&timer);
}

bool HeadlessBackend::WaitForSynchronize(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [&] { return !posted_.empty(); });
}

}  // namespace tk::headless
