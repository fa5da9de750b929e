#include "platform/foundation/ns_file_manager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

NSFileManager& NSFileManager::defaultManager() {
  static NSFileManager manager;
  return manager;
}

bool NSFileManager::fileExistsAtPath(const std::string& devicePath) const {
  struct stat info;
  if (platform::placeRefusal(devicePath)) return false;
  return ::stat(platform::deviceFilePath(devicePath).c_str(), &info) == 0;
}

bool NSFileManager::removeItemAtPath(const std::string& devicePath) const {
  if (platform::placeRefusal(devicePath)) return false;
  return ::unlink(platform::deviceFilePath(devicePath).c_str()) == 0;
}

bool NSFileManager::markItemCurrentAtPath(const std::string& devicePath) const {
  if (platform::placeRefusal(devicePath)) return false;
  return ::utimensat(AT_FDCWD, platform::deviceFilePath(devicePath).c_str(), nullptr,
                     AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<double> NSFileManager::modificationDateOfItemAtPath(
    const std::string& devicePath) const {
  struct stat info;
  if (platform::placeRefusal(devicePath)) return std::nullopt;
  if (::stat(platform::deviceFilePath(devicePath).c_str(), &info) != 0) return std::nullopt;
  return static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
}
