#pragma once

#include <cstdint>
#include <optional>

#include "common/plist.h"

namespace host {

// When a phone's screen wakes for a status change, so that its lock screen reloads the
// charging view and the estimate on it is worked out anew: at the first change, when the
// charger is plugged in or out, and when the charge has moved by a whole percent since the
// screen last woke.
class ScreenWake {
 public:
  // Whether this status change wakes the screen; a wake is remembered.
  bool wakesFor(const brimwell::Plist& status);

 private:
  std::optional<bool> charger_;
  std::optional<int32_t> percent_;
};

}  // namespace host
