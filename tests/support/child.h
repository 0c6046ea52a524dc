// A named control of a form, found as a person's tools find it: by name.
#pragma once
#include <stdexcept>
#include <string>

#include "toolkit/form.h"

template <class T>
T& Child(tk::Form& form, const std::string& name) {
  T* control = dynamic_cast<T*>(form.FindChild(name));
  if (!control) throw std::runtime_error("no control named " + name + " in " + form.Name());
  return *control;
}
