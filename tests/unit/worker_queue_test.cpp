// The worker that keeps slow system calls off the window's thread.
#include <gmock/gmock.h>

#include <stdexcept>
#include <vector>

#include "components/worker_queue.h"
#include "tests/doubles/portable/portable_system.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace components {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Worker : public ::testing::Test {
 protected:
  Worker() { app.SetTitle("Veltrane"); }

  platform::portable::PortableSystem system;
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};
};

// Jobs run one after another off the window's thread, and their replies
// reach the window's thread in the same order. A job that fails is told as
// any handler's error is, and the jobs after it still run.
TEST_F(Worker, JobsRunInOrderOffTheWindowsThreadAndReplyOnIt) {
  WorkerQueue queue(system);
  std::vector<int> replies;
  bool jobs_off_window = true, replies_on_window = true;
  for (int i = 0; i < 4; ++i)
    queue.Add([&, i]() -> WorkerQueue::Reply {
      jobs_off_window &= !app.OnUiThread();
      if (i == 1) throw std::runtime_error("The Task Scheduler service is not running.");
      if (i == 2) return nullptr;
      return [&, i] {
        replies_on_window &= app.OnUiThread();
        replies.push_back(i);
      };
    });
  ASSERT_TRUE(queue.Wait(10000));
  backend.RunUntilIdle();
  EXPECT_THAT(replies, ElementsAre(0, 3));
  EXPECT_TRUE(jobs_off_window);
  EXPECT_TRUE(replies_on_window);
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("The Task Scheduler service is not running."));
}

// Its end carries out what was asked for, but a reply that has not reached
// the window by then finds its owner gone and does nothing.
TEST_F(Worker, ItsEndCarriesOutTheJobsAndDropsTheReplies) {
  bool done = false, replied = false;
  {
    WorkerQueue queue(system);
    system.SetSchedulerSlow(true);
    queue.Add([&]() -> WorkerQueue::Reply {
      system.RemoveLogonTask("Veltrane");
      done = true;
      return [&] { replied = true; };
    });
    EXPECT_FALSE(queue.Wait(0));
    system.SetSchedulerSlow(false);
  }
  EXPECT_TRUE(done);
  backend.RunUntilIdle();
  EXPECT_FALSE(replied);
  EXPECT_THAT(backend.BoxTexts(), IsEmpty());
}

}  // namespace
}  // namespace components
