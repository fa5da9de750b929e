#include "platform/foundation/simulated_device.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

// The device folders whose contents come with the install.
constexpr const char* kInstalledFolders[] = {
    "/Library/MobileSubstrate/DynamicLibraries",
    "/System/Library/Audio/UISounds",
};

}  // namespace

bool onSimulatedDevice() {
  return environmentValue("SIM_DEVICE_ROOT") != nullptr;
}

bool useSimulatedDevice(const std::string& root, std::string* why) {
  std::error_code error;
  for (const char* devicePath : kInstalledFolders) {
    const fs::path link = fs::path(root) / fs::path(devicePath).relative_path();
    fs::create_directories(link.parent_path(), error);
    struct stat info;
    const bool present = ::lstat(link.c_str(), &info) == 0;
    if (!error && present && S_ISLNK(info.st_mode) && ::unlink(link.c_str()) != 0) {
      error.assign(errno, std::generic_category());
    }
    if (!error && (!present || S_ISLNK(info.st_mode))) {
      fs::create_symlink(*installedPlace(devicePath), link, error);
    }
    if (error) {
      if (why) *why = "cannot lay out a simulated device in " + root + ": " + error.message();
      return false;
    }
  }
  ::setenv("SIM_DEVICE_ROOT", root.c_str(), 1);
  return true;
}

}  // namespace platform
