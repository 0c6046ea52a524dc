// TzelOneInstance: keeps a second copy of the program from running. The
// first copy holds a named mutex for as long as it runs; a copy that finds
// it held tells its user, brings the running copy forward and ends.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include "components/zel_component.h"
#include "platform/platform.h"

namespace components {

class TzelOneInstance : public TzelComponent {
 public:
  explicit TzelOneInstance(platform::Platform platform);
  ~TzelOneInstance() override;

  bool ActivatePrevInstance = true;
  // Names the mutexes after the program's full path instead of the title.
  bool ExeNameAsIdentifier = false;
  // Empty: "Application "<title>" is already running."
  std::string Message;
  std::string Identifier;
  bool ShowMessage = false;
  // Replaces the message box; may clear terminate to let the copy run.
  std::function<void(TzelOneInstance& sender, bool& terminate)> OnShowMessage;
  // In the running copy: another copy asked it to come forward.
  std::function<void()> OnActivateRequest;

  // "<title or PATH><Identifier>.OneInstance." with every '\' made '/'.
  std::string BaseName() const;
  virtual bool IsAnotherInstanceRunning();
  // Reacts when another copy runs.
  virtual void CheckInstance();
  void Loaded() override;

 protected:
  virtual void ReactToOtherInstance();
  virtual void ActivatePreviousInstance();

 private:
  platform::Platform platform_;
  std::unique_ptr<platform::NamedMutex> instance_;
  bool owner_ = false;
  // Lets a listener outlive the component without calling into it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace components
