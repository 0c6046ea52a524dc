// The main window: header, status line and, rolled down, the page book.
#pragma once
#include "toolkit/form.h"

namespace app {

class Tvelmain : public tk::Form {
 public:
  Tvelmain();

  static constexpr int kClientWidth = 524;
  static constexpr int kRolledUpHeight = 101;
  static constexpr int kRolledDownHeight = 500;
};

}  // namespace app
