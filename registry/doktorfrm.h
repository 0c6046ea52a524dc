// Tdoktor: the registry doctor's window. It runs the repairs when it is
// activated, one progress bar per key, and closes itself two seconds after
// the work is done.
#pragma once
#include "registry/doctor.h"
#include "toolkit/control.h"
#include "toolkit/form.h"

namespace registry {

class Tdoktor : public tk::Form {
 public:
  static constexpr int kClientWidth = 285;
  static constexpr int kClientHeight = 186;

  explicit Tdoktor(Context& context);

  // The registry itself is broken: the program is not to run.
  bool Corrupted() const { return corrupted_; }

  void FormActivate();
  void Timer1Timer();

  tk::Panel naglowek{this, "naglowek"};
  tk::Label opis{this, "opis"};
  tk::Label postep_tytul{this, "postep_tytul"};
  tk::ProgressBar postep{this, "postep"};
  tk::ProgressBar postep2{this, "postep2"};
  tk::ProgressBar postep3{this, "postep3"};
  tk::ProgressBar postep4{this, "postep4"};
  tk::Timer Timer1{"Timer1", 2000};

 private:
  void BuildLayout();

  RegistryDoctor doctor_;
  bool corrupted_ = false;
  tk::ProgressBar* const bars_[RegistryDoctor::kKeys] = {&postep, &postep2, &postep3, &postep4};
};

}  // namespace registry
