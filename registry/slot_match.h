// Whether a list slot holds a given text. A free slot reads back as the
// caller's marker, so a slot that seems to hold the marker text is read
// once more with another default to tell the two apart.
#pragma once
#include <string_view>

#include "registry/data_files.h"
#include "registry/ini_store.h"

namespace registry {

inline bool SlotHolds(IniStore& store, int slot, std::string_view key, std::string_view text,
                      std::string_view marker) {
  if (ReadSlot(store, slot, key, marker) != text) return false;
  return text != marker || ReadSlot(store, slot, key, "") == text;
}

}  // namespace registry
