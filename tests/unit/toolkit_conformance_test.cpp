// The toolkit's promises (tests/conformance) on the headless backend.
#include <memory>
#include <mutex>

#include "tests/conformance/toolkit_conformance.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using conformance::BoxSeen;
using tk::headless::HeadlessBackend;

// Virtual time: ten minutes of it is plenty for any of these.
constexpr int64_t kPatienceMs = 10 * 60 * 1000;

class HeadlessDriver {
 public:
  HeadlessDriver() {
    // A modal loop with nothing to do waits (in real time) for a worker's
    // hand-over while workers run, as a real loop would.
    backend_.modal_answerer = [this](tk::Form&) { return running_ > 0 && backend_.WaitForSynchronize(20000); };
    // Run lets timers tick for ten minutes of virtual time, as RunUntil does.
    backend_.SetRunDeadline(kPatienceMs);
  }
  tk::Backend& Backend() { return backend_; }

  void Click(tk::Control& c) {
    backend_.Post([&c] {
      if (!c.Enabled() || !c.Showing()) return;
      if (c.Kind() == tk::ControlKind::CheckBox) {
        static_cast<tk::CheckBox&>(c).UserClick();
      } else {
        c.DoClick();
        c.DoMouseUp(tk::MouseButton::Left, c.Width() / 2, c.Height() / 2);
      }
    });
  }
  void Select(tk::ListBox& list, int index) {
    backend_.Post([&list, index] {
      if (list.Enabled() && list.Showing()) list.UserSelect(index);
    });
  }
  void CloseBox(tk::Form& form) { backend_.CloseBox(form); }
  void MoveMouse(tk::Control& c, int x, int y) {
    ASSERT_TRUE(backend_.MouseMove(c, x, y)) << c.Name();
    backend_.RunUntilIdle();
  }
  void RefuseActivation(tk::Form&) { backend_.refuse_activation = true; }
  void SwitchAwayAndBack(tk::Form& form) {
    backend_.refuse_activation = false;
    backend_.SwitchAwayAndBack(form);
  }
  void AnswerNextBox(tk::ModalResult answer) { backend_.AnswerBoxes({answer}); }
  std::vector<BoxSeen> Boxes() {
    std::vector<BoxSeen> seen;
    for (const tk::headless::BoxRecord& b : backend_.Boxes()) seen.push_back({b.caption, b.text});
    return seen;
  }
  void StartWorker(std::function<void()> fn) {
    ++running_;
    workers_.emplace_back([this, fn = std::move(fn)] {
      fn();
      --running_;
    });
  }
  void JoinWorkers() {
    for (std::thread& t : workers_) t.join();
    workers_.clear();
  }
  bool RunUntil(const std::function<bool()>& done) {
    for (int64_t step = 0; step < kPatienceMs / 10 && !done(); ++step) {
      if (running_ > 0) backend_.WaitForSynchronize(10);
      backend_.Advance(10);
    }
    return done();
  }
  void Finish() { JoinWorkers(); }

 private:
  HeadlessBackend backend_;
  std::atomic<int> running_{0};
  std::vector<std::thread> workers_;
};

}  // namespace

namespace conformance {
INSTANTIATE_TYPED_TEST_SUITE_P(Headless, ToolkitConformance, HeadlessDriver);
}  // namespace conformance
