// TzelComponent: the common base of the zel components. A component acts on
// its settings once the window that owns it has finished building, through
// Loaded().
#pragma once
#include <string>

namespace components {

class TzelComponent {
 public:
  virtual ~TzelComponent() = default;
  // The name the owning window gives it ("tray", "mon_HKLM").
  std::string Name;
  // Called by the owning window when it has been built.
  virtual void Loaded() {}
};

}  // namespace components
