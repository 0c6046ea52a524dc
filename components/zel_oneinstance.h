// TzelOneInstance: keeps a second copy of the program from running. The
// first copy holds a named mutex for as long as it runs. A later copy that
// finds it held asks the running copy, through its application window,
// whether it is there; only when one answers does the later copy tell its
// user, bring the running copy forward and end. So a program that took the
// names first cannot keep this one from starting.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "components/zel_component.h"
#include "platform/platform.h"

namespace components {

class TzelOneInstance : public TzelComponent {
 public:
  // What every running copy answers when asked whether it is there.
  static constexpr intptr_t kAnswer = 0x56454C54;
  // How long a starting copy waits for that answer.
  static constexpr int kAnswerWaitMs = 5000;

  explicit TzelOneInstance(platform::Platform platform);
  ~TzelOneInstance() override;

  // Told to the user of a second copy, when ShowMessage is set.
  std::string Message;
  bool ShowMessage = false;
  // In the running copy: another copy asked it to come forward.
  std::function<void()> OnActivateRequest;

  // "<title>.OneInstance." with every '\' made '/'.
  std::string BaseName() const;
  // True only when a running copy answered.
  bool IsAnotherInstanceRunning();
  // A second copy tells its user, brings the running copy forward and ends;
  // any other copy answers later ones.
  void Loaded() override;

 private:
  // The application window of a running copy that answered, or 0.
  uintptr_t FindRunningCopy();
  void ReactToOtherInstance();

  platform::Platform platform_;
  std::unique_ptr<platform::NamedMutex> instance_;
  bool owner_ = false;
  uintptr_t running_copy_ = 0;
  // Lets a listener outlive the component without calling into it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace components
