#include "components/worker_queue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "toolkit/application.h"
#include "toolkit/error.h"

namespace components {

// Shared with the thread, which may outlive the queue by a call.
struct WorkerQueue::State : std::enable_shared_from_this<State> {
  std::mutex mu;
  std::condition_variable cv;
  std::deque<Job> jobs;
  bool busy = false;    // a job runs now
  bool closed = false;  // no more jobs come; the thread ends once they are done
  bool gone = false;    // the owner is gone: nothing more reaches the window
  std::thread thread;

  bool Done() const { return jobs.empty() && !busy; }
  void Run(platform::System& system);
};

void WorkerQueue::State::Run(platform::System& system) {
  const std::unique_ptr<platform::ThreadScope> scope = system.EnterWorkerThread();
  std::unique_lock lock(mu);
  for (;;) {
    cv.wait(lock, [this] { return closed || !jobs.empty(); });
    if (jobs.empty()) return;
    Job job = std::move(jobs.front());
    jobs.pop_front();
    busy = true;
    lock.unlock();
    Reply reply;
    try {
      reply = job();
    } catch (const std::exception& e) {
      // Told on the window's thread, as any handler's error is.
      reply = [text = std::string(e.what())] { throw tk::Error(text); };
    } catch (...) {
      reply = [] { throw tk::Error("Unknown error."); };
    }
    lock.lock();
    // Under the lock: the owner, and the application after it, cannot go
    // while the reply is handed over. A reply still waiting when the owner
    // goes finds it gone.
    if (reply && !gone)
      tk::App().Queue([weak = weak_from_this(), reply = std::move(reply)] {
        const std::shared_ptr<State> state = weak.lock();
        if (!state) return;
        {
          std::lock_guard lock(state->mu);
          if (state->gone) return;
        }
        reply();
      });
    busy = false;
    cv.notify_all();
  }
}

WorkerQueue::WorkerQueue(platform::System& system) : system_(system), state_(std::make_shared<State>()) {}

WorkerQueue::~WorkerQueue() {
  std::unique_lock lock(state_->mu);
  state_->closed = true;
  state_->cv.notify_all();
  const bool done =
      state_->cv.wait_for(lock, std::chrono::milliseconds(kEndWaitMs), [this] { return state_->Done(); });
  state_->gone = true;
  state_->jobs.clear();
  lock.unlock();
  if (!state_->thread.joinable()) return;
  // A call that does not end in time holds up nothing: it ends by itself,
  // or with the process.
  if (done)
    state_->thread.join();
  else
    state_->thread.detach();
}

void WorkerQueue::Add(Job job) {
  std::lock_guard lock(state_->mu);
  if (state_->closed) return;
  state_->jobs.push_back(std::move(job));
  if (!state_->thread.joinable())
    state_->thread = std::thread([state = state_, &system = system_] { state->Run(system); });
  state_->cv.notify_all();
}

bool WorkerQueue::Wait(int timeout_ms) {
  std::unique_lock lock(state_->mu);
  return state_->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return state_->Done(); });
}

}  // namespace components
