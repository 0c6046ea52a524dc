#include "update/httpget.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "toolkit/application.h"
#include "update/http_fetch.h"

namespace update {

// The worker: its own copies of the request, and the state it shares with
// the component and with the hand-overs it queues for the user-interface
// thread, which may run after both are gone.
class THTTPGetThread {
 public:
  struct State {
    State(platform::Network& n, platform::Files& f) : network(n), files(f) {}
    platform::Network& network;
    platform::Files& files;
    FetchRequest request;
    TOnProgressEvent progress;
    FetchControl control;

    std::mutex mu;
    std::condition_variable cv;
    THTTPGet* owner = nullptr;  // null once the component is gone; written on the UI thread
    bool handed_over = false;   // the event last handed over has run
    bool finished = false;
  };

  THTTPGetThread(THTTPGet& owner, platform::Network& network, platform::Files& files)
      : state_(std::make_shared<State>(network, files)) {
    state_->owner = &owner;
    FetchRequest& r = state_->request;
    r.url = owner.URL;
    r.agent = owner.Agent;
    // Media types: the system writes the "Accept:" header around them.
    r.accept_types = {owner.AcceptTypes};
    r.file_name = owner.FileName;
    r.binary_data = owner.BinaryData;
    r.use_cache = owner.UseCache;
    state_->progress = owner.OnProgress;
  }

  void Start() {
    thread_ = std::thread([state = state_] { Execute(state); });
  }

  bool Finished() {
    std::lock_guard<std::mutex> lock(state_->mu);
    return state_->finished;
  }

  // The component goes: no event reaches it from now on, a hand-over the
  // worker waits for is given up, the transfer's connection is closed, and
  // the worker has ended when this returns, so it never outlives the
  // network and files it was given.
  void Release() {
    {
      std::lock_guard<std::mutex> lock(state_->mu);
      state_->owner = nullptr;
      state_->cv.notify_all();
    }
    state_->control.Abort();
    Join();
  }

  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  static void Execute(const std::shared_ptr<State>& s) {
    std::function<void(int32_t, int32_t)> progress;
    if (s->progress)
      progress = [&s](int32_t total, int32_t received) {
        HandOver(s, [s, total, received](THTTPGet& owner) { s->progress(&owner, total, received); });
      };
    FetchResult result = Fetch(s->network, s->files, s->request, s->control, progress);
    HandOver(s, [s, result](THTTPGet& owner) { owner.TransferDone(result.ok, s->request.file_name, result.size); });
    std::lock_guard<std::mutex> lock(s->mu);
    s->finished = true;
  }

  // Runs event on the UI thread with the component and waits until it has
  // run there; nothing, or no more waiting, once the component is gone.
  static void HandOver(const std::shared_ptr<State>& s, std::function<void(THTTPGet&)> event) {
    {
      std::lock_guard<std::mutex> lock(s->mu);
      if (!s->owner) return;
      s->handed_over = false;
    }
    tk::App().Queue([s, event = std::move(event)] {
      THTTPGet* owner;
      {
        std::lock_guard<std::mutex> lock(s->mu);
        owner = s->owner;
      }
      if (owner) tk::App().Invoke([&] { event(*owner); });
      std::lock_guard<std::mutex> lock(s->mu);
      s->handed_over = true;
      s->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(s->mu);
    s->cv.wait(lock, [&] { return s->handed_over || !s->owner; });
  }

  std::shared_ptr<State> state_;
  std::thread thread_;
};

THTTPGet::THTTPGet(platform::Network& network, platform::Files& files) : network_(network), files_(files) {}

THTTPGet::~THTTPGet() {
  for (auto& worker : workers_) worker->Release();
}

void THTTPGet::GetFile() {
  if (current_) return;
  Reap();
  auto worker = std::make_unique<THTTPGetThread>(*this, network_, files_);
  THTTPGetThread* started = worker.get();
  workers_.push_back(std::move(worker));
  current_ = started;
  started->Start();
}

void THTTPGet::TransferDone(bool result, const std::string& file_name, int32_t size) {
  current_ = nullptr;
  if (result) {
    if (OnDoneFile) OnDoneFile(this, file_name, size);
  } else {
    if (OnError) OnError(this);
  }
}

void THTTPGet::Reap() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it).get() != current_ && (*it)->Finished()) {
      (*it)->Join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace update
