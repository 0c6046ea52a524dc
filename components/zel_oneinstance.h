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

  // Told to the user of a second copy, when ShowMessage is set.
  std::string Message;
  bool ShowMessage = false;
  // In the running copy: another copy asked it to come forward.
  std::function<void()> OnActivateRequest;

  // "<title>.OneInstance." with every '\' made '/'.
  std::string BaseName() const;
  bool IsAnotherInstanceRunning();
  // A second copy tells its user, brings the running copy forward and ends.
  void Loaded() override;

 private:
  void ReactToOtherInstance();

  platform::Platform platform_;
  std::unique_ptr<platform::NamedMutex> instance_;
  bool owner_ = false;
  // Lets a listener outlive the component without calling into it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace components
