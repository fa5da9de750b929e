#pragma once

#include <string>

#include "platform/api.h"

// The device's files, by device path.
class PLATFORM_API NSFileManager {
 public:
  static NSFileManager& defaultManager();
  bool fileExistsAtPath(const std::string& devicePath) const;
};
