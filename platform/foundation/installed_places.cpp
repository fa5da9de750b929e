#include "platform/foundation/installed_places.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/foundation/device_environment.h"

namespace platform {
namespace {

std::string home() {
  if (const char* value = environmentValue("HOME")) return value;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : std::string("/");
}

// The user's folder for a kind of file: the first XDG variable set, else the fallback in $HOME.
std::string userFolder(std::initializer_list<const char*> variables, const char* inHome) {
  for (const char* variable : variables) {
    if (const char* value = environmentValue(variable)) return std::string(value) + "/brimwell";
  }
  return home() + "/" + inHome + "/brimwell";
}

enum class Base { runtime, config, prefix };

const struct {
  std::string_view device;  // a device folder, with its trailing slash
  Base base;
  std::string_view under;  // below the base
} kPlaces[] = {
    {"/tmp/", Base::runtime, ""},
    {"/var/mobile/Library/Preferences/", Base::config, ""},
    {"/Library/MobileSubstrate/DynamicLibraries/", Base::prefix, "lib/brimwell/DynamicLibraries/"},
    {"/System/Library/Audio/UISounds/", Base::prefix, "share/brimwell/sounds/"},
};

std::string baseFolder(Base base) {
  switch (base) {
    case Base::runtime:
      return userFolder({"XDG_RUNTIME_DIR", "XDG_CACHE_HOME"}, ".cache");
    case Base::config:
      return userFolder({"XDG_CONFIG_HOME"}, ".config");
    case Base::prefix:
      break;
  }
  return installPrefix();
}

}  // namespace

std::optional<std::string> installedPlace(std::string_view devicePath) {
  for (const auto& place : kPlaces) {
    const std::string_view folder = place.device.substr(0, place.device.size() - 1);
    const bool inside = devicePath.substr(0, place.device.size()) == place.device;
    if (!inside && devicePath != folder) continue;
    std::string path = baseFolder(place.base) + "/" + std::string(place.under);
    if (inside) path += devicePath.substr(place.device.size());
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }
  return std::nullopt;
}

bool makeFolderFor(std::string_view devicePath, std::string* why) {
  const std::filesystem::path folder =
      std::filesystem::path(deviceFilePath(devicePath)).parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  // The user's own folders (not the simulated device's) hold what only the user may read.
  if (!error && !environmentValue("SIM_DEVICE_ROOT") && installedPlace(devicePath)) {
    if (::chmod(folder.c_str(), 0700) != 0) error.assign(errno, std::generic_category());
  }
  if (error && why) *why = "cannot make " + folder.string() + ": " + error.message();
  return !error;
}

}  // namespace platform
