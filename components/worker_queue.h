// One thread of its own that runs jobs one after another, in the order they
// were asked for: for system calls too slow for the window's thread (the
// Task Scheduler's take a second and more). A job may hand back a reply,
// which runs later on the window's thread, through the application's queue.
#pragma once
#include <functional>
#include <memory>

#include "platform/system.h"

namespace components {

class WorkerQueue {
 public:
  using Reply = std::function<void()>;
  // Runs on the worker: it must not touch the window or its controls, only
  // what it holds itself. Returns its reply, or nothing.
  using Job = std::function<Reply()>;

  // How long the program waits at its end for the calls it asked for.
  static constexpr int kEndWaitMs = 5000;

  // The thread starts with the first job and is readied by the system
  // (COM, on Windows) for its whole life.
  explicit WorkerQueue(platform::System& system);
  // Carries out what was asked for, waiting at most kEndWaitMs; a call that
  // runs longer is left to end by itself. Replies not yet run are dropped.
  ~WorkerQueue();
  WorkerQueue(const WorkerQueue&) = delete;
  WorkerQueue& operator=(const WorkerQueue&) = delete;

  void Add(Job job);
  // Waits until every job asked for so far has run and its reply is
  // queued for the window, at most timeout_ms. False when some have not.
  bool Wait(int timeout_ms);

 private:
  struct State;
  platform::System& system_;
  std::shared_ptr<State> state_;
};

}  // namespace components
