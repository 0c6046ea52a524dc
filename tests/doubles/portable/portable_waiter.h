// The change watches of the portable stores, and their waiter. A store's
// state holds a mutex, a condition variable that every change notifies, and
// the records of its watches; a change sets a record's pending flag, and a
// record that is gone reports nothing further.
#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>
#include "platform/registry.h"

namespace platform::portable {

template <typename State>
class PortableWatch : public ChangeWatch {
 public:
  using Record = typename State::Record;
  PortableWatch(std::shared_ptr<State> st, Record rec) : st_(std::move(st)), rec_(std::move(rec)) {
    std::lock_guard lock(st_->mu);
    st_->watches.push_back(&rec_);
  }
  ~PortableWatch() override {
    std::lock_guard lock(st_->mu);
    std::erase(st_->watches, &rec_);
  }

  WaitResult Wait(int timeout_ms) override {
    std::unique_lock lock(st_->mu);
    auto ready = [this] { return rec_.cancelled || rec_.pending || rec_.gone; };
    if (timeout_ms < 0) {
      st_->changed.wait(lock, ready);
    } else if (!st_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
      return WaitResult::TimedOut;
    }
    if (rec_.cancelled) return WaitResult::Cancelled;
    if (TakeChange()) return WaitResult::Changed;
    return WaitResult::Failed;  // gone, already reported once
  }

  void Cancel() override {
    std::lock_guard lock(st_->mu);
    rec_.cancelled = true;
    st_->changed.notify_all();
  }

  // With the lock held.
  bool TakeChange() {
    if (!rec_.pending || rec_.cancelled) return false;
    rec_.pending = false;
    return true;
  }
  const State* Owner() const { return st_.get(); }

 private:
  std::shared_ptr<State> st_;
  Record rec_;
};

template <typename State>
class PortableWaiter : public ChangeWaiter {
 public:
  explicit PortableWaiter(std::shared_ptr<State> st) : st_(std::move(st)) {}

  int WaitAny(const std::vector<ChangeWatch*>& watches) override {
    std::vector<PortableWatch<State>*> ours;
    for (ChangeWatch* w : watches) {
      auto* p = dynamic_cast<PortableWatch<State>*>(w);
      // A watch of another store can never be waited on here.
      if (w && (!p || p->Owner() != st_.get())) return kFailed;
      ours.push_back(p);
    }
    std::unique_lock lock(st_->mu);
    int fired = kFailed;
    st_->changed.wait(lock, [&] {
      if (woken_) return true;
      for (size_t i = 0; i < ours.size(); ++i)
        if (ours[i] && ours[i]->TakeChange()) {
          fired = int(i);
          return true;
        }
      return false;
    });
    if (fired != kFailed) return fired;
    woken_ = false;
    return kWoken;
  }

  void Wake() override {
    std::lock_guard lock(st_->mu);
    woken_ = true;
    st_->changed.notify_all();
  }

 private:
  std::shared_ptr<State> st_;
  bool woken_ = false;
};

}  // namespace platform::portable
