#pragma once

#include <string>

#include "platform/api.h"

// The device's files, by device path.
class PLATFORM_API NSFileManager {
 public:
  static NSFileManager& defaultManager();
  bool fileExistsAtPath(const std::string& devicePath) const;
  // Removes a file; false when it was not there or could not be removed.
  bool removeItemAtPath(const std::string& devicePath) const;
};
