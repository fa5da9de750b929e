#pragma once

#include <string>
#include <vector>

#include "platform/foundation/device_environment.h"

struct NSLocale {
  // Most preferred first; may be empty.
  static std::vector<std::string> preferredLanguages() { return platform::preferredLanguages(); }
};
