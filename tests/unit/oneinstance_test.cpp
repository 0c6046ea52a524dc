// The single-instance guard: two copies meet through named mutexes, as two
// processes would; a copy that ends, even by a crash, frees the way.
#include <gtest/gtest.h>

#include "components/zel_oneinstance.h"
#include "platform/portable/portable.h"
#include "toolkit/application.h"
#include "toolkit/headless/headless_backend.h"

namespace {

using components::TzelOneInstance;

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
};

TEST_F(OneInstance, TheSecondCopyIsToldAndEndsWhileTheFirstComesForward) {
  sys.system.AddWindow("TApplication", "Veltrane");
  int asked_forward = 0;
  auto first = Copy();
  first->OnActivateRequest = [&] { ++asked_forward; };
  first->Loaded();
  EXPECT_FALSE(app.Terminated());
  EXPECT_TRUE(backend.Boxes().empty());
  EXPECT_TRUE(app.ShowMainForm());
  // What a later copy posts makes the first one come forward.
  backend.PostNamedMessage("Veltrane.OneInstance.Activate");
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
  EXPECT_EQ(sys.system.Foreground(), 0u);
  EXPECT_EQ(sys.system.GetWindow(0).messages, std::vector<std::string>{"Veltrane.OneInstance.Activate"});
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
}

TEST_F(OneInstance, NamesComeFromTheTitleAndACopyInTheMiddleOfItsCheckCounts) {
  EXPECT_EQ(Copy()->BaseName(), "Veltrane.OneInstance.");
  // A backslash would make the system refuse the names.
  app.SetTitle("Quorvik\\Veltrane");
  EXPECT_EQ(Copy()->BaseName(), "Quorvik/Veltrane.OneInstance.");
  EXPECT_FALSE(Copy()->IsAnotherInstanceRunning());
  app.SetTitle("Veltrane");

  // While another copy is in the middle of its own check, this one yields.
  auto lock = sys.system.CreateNamedMutex("Veltrane.OneInstance.CriticalSection", true);
  EXPECT_TRUE(Copy()->IsAnotherInstanceRunning());
}

}  // namespace
