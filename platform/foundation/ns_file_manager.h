#pragma once

#include <optional>
#include <string>

#include "platform/api.h"

// The device's files, by device path.
class PLATFORM_API NSFileManager {
 public:
  static NSFileManager& defaultManager();
  bool fileExistsAtPath(const std::string& devicePath) const;
  // A file's modification time, in seconds since 1970; none when it is not there.
  std::optional<double> modificationDateOfItemAtPath(const std::string& devicePath) const;
  // Gives a file the present time as its modification time, as a writer that found nothing new
  // to write marks it current; false when it is not there.
  bool markItemCurrentAtPath(const std::string& devicePath) const;
  // Removes a file; false when it was not there or could not be removed.
  bool removeItemAtPath(const std::string& devicePath) const;
};
