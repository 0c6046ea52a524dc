// The single-instance guard: two copies meet through named mutexes, as two
// processes would, and a copy ends only when a running one answers it; a
// copy that ends, even by a crash, frees the way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/zel_oneinstance.h"
#include "tests/doubles/portable/portable.h"
#include "toolkit/application.h"
#include "tests/doubles/headless/headless_backend.h"

namespace {

using components::TzelOneInstance;
using ::testing::ElementsAre;

class OneInstance : public ::testing::Test {
 protected:
  platform::portable::ScratchFolder scratch;
  platform::portable::PortablePlatform sys{scratch.path()};
  tk::headless::HeadlessBackend backend;
  tk::Application app{backend};

  OneInstance() { app.SetTitle("Veltrane"); }
  std::unique_ptr<TzelOneInstance> Copy() {
    auto once = std::make_unique<TzelOneInstance>(sys.View());
    once->Message = "Don't run this program more than once!";
    once->ShowMessage = true;
    return once;
  }
  // The application window of a copy running here: it answers what the
  // copy's listener answers.
  size_t RunningCopyWindow() {
    return sys.system.AddWindow({"TApplication", "Veltrane", false, {}, sys.system.ExePath(),
                                 [this](const std::string& m) { return backend.SendNamedMessage(m); }});
  }
  // Another window of that class and caption, of the given program, that
  // answers every message with value.
  size_t LookAlikeWindow(const std::string& program, intptr_t value) {
    return sys.system.AddWindow(
        {"TApplication", "Veltrane", false, {}, program, [value](const std::string&) { return value; }});
  }
};

TEST_F(OneInstance, TheSecondCopyIsToldAndEndsWhileTheFirstComesForward) {
  size_t first_window = RunningCopyWindow();
  int asked_forward = 0;
  auto first = Copy();
  first->OnActivateRequest = [&] { ++asked_forward; };
  first->Loaded();
  EXPECT_FALSE(app.Terminated());
  EXPECT_TRUE(backend.Boxes().empty());
  EXPECT_TRUE(app.ShowMainForm());
  // What a later copy posts makes the first one come forward, also from a
  // copy with fewer rights.
  backend.PostNamedMessage("Veltrane.OneInstance.Activate", tk::Rights::Fewer);
  backend.RunUntilIdle();
  EXPECT_EQ(asked_forward, 1);

  auto second = Copy();
  second->Loaded();
  ASSERT_EQ(backend.Boxes().size(), 1u);
  EXPECT_EQ(backend.Boxes()[0].text, "Don't run this program more than once!");
  EXPECT_EQ(backend.Boxes()[0].caption, "Veltrane");
  EXPECT_EQ(backend.Boxes()[0].kind, tk::MsgKind::Warning);  // the exclamation icon
  EXPECT_EQ(backend.Boxes()[0].buttons, tk::MsgButtons::Ok);
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(app.ShowMainForm()) << "the second copy's window is never shown";
  EXPECT_EQ(sys.system.Foreground(), first_window);
  EXPECT_EQ(sys.system.GetWindow(first_window).messages, std::vector<std::string>{"Veltrane.OneInstance.Activate"});
}

TEST_F(OneInstance, AfterTheFirstCopyEndsOrCrashesANewOneRuns) {
  auto first = Copy();
  first->Loaded();
  first.reset();  // ended normally
  auto second = Copy();
  second->Loaded();
  EXPECT_FALSE(app.Terminated());
  EXPECT_TRUE(backend.Boxes().empty());

  // A copy that crashed leaves its mutex abandoned (while another handle
  // keeps it in being): the next copy takes it over.
  second.reset();
  auto keeper = sys.system.CreateNamedMutex("Veltrane.OneInstance.Default");
  auto crashed = sys.system.CreateNamedMutex("Veltrane.OneInstance.Default");
  ASSERT_EQ(crashed->Acquire(0), platform::AcquireResult::Acquired);
  EXPECT_EQ(keeper->Acquire(0), platform::AcquireResult::TimedOut);
  crashed.reset();  // gone without a release
  auto third = Copy();
  third->Loaded();
  EXPECT_FALSE(app.Terminated());
  EXPECT_EQ(keeper->Acquire(0), platform::AcquireResult::TimedOut) << "the third copy holds it";
}

TEST_F(OneInstance, NamesComeFromTheTitle) {
  EXPECT_EQ(Copy()->BaseName(), "Veltrane.OneInstance.");
  // A backslash would make the system refuse the names.
  app.SetTitle("Quorvik\\Veltrane");
  EXPECT_EQ(Copy()->BaseName(), "Quorvik/Veltrane.OneInstance.");
  EXPECT_FALSE(Copy()->IsAnotherInstanceRunning());
}

// Another program took both names first and keeps them. Windows like a
// running copy's count only when of this very program file and giving the
// copy's answer.
TEST_F(OneInstance, NamesTakenFirstKeepNoCopyFromStartingOnlyARunningCopyDoes) {
  auto lock = sys.system.CreateNamedMutex("Veltrane.OneInstance.CriticalSection", true);
  auto held = sys.system.CreateNamedMutex("Veltrane.OneInstance.Default");
  ASSERT_EQ(held->Acquire(0), platform::AcquireResult::Acquired);
  size_t look_alikes[] = {LookAlikeWindow("C:\\Users\\tester\\squatter.exe", TzelOneInstance::kAnswer),
                          LookAlikeWindow(sys.system.ExePath(), 1), LookAlikeWindow(sys.system.ExePath(), 0)};
  auto first = Copy();
  first->Loaded();
  EXPECT_FALSE(app.Terminated());
  EXPECT_TRUE(backend.Boxes().empty());
  EXPECT_EQ(sys.system.Foreground(), std::nullopt) << "nothing was brought forward";
  lock.reset();

  // Holding no name, it still answers a later copy, which ends.
  size_t first_window = RunningCopyWindow();
  auto second = Copy();
  second->Loaded();
  EXPECT_THAT(backend.BoxTexts(), ElementsAre("Don't run this program more than once!"));
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(sys.system.Foreground(), first_window);
  for (size_t window : look_alikes) EXPECT_TRUE(sys.system.GetWindow(window).messages.empty());
}

// Where Windows offers a namespace only administrators can create, a
// program without those rights cannot take the elevated copy's names.
TEST_F(OneInstance, AnElevatedCopysNamesAreOutOfOtherProgramsReach) {
  sys.system.SetRunsElevated(true);
  auto squatted = sys.system.CreateNamedMutex("Veltrane.OneInstance.Default");
  ASSERT_EQ(squatted->Acquire(0), platform::AcquireResult::Acquired);
  auto copy = Copy();
  EXPECT_FALSE(copy->IsAnotherInstanceRunning());
  EXPECT_EQ(sys.system.CreateNamedMutex("Veltrane.OneInstance.Default", false, "Veltrane.OneInstance")->Acquire(0),
            platform::AcquireResult::TimedOut);
}

}  // namespace
