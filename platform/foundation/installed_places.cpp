#include "platform/foundation/installed_places.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/foundation/device_environment.h"

namespace platform {
namespace {

// An XDG variable's value when it is an absolute path; a relative one does not count.
const char* absoluteValue(const char* variable) {
  const char* value = environmentValue(variable);
  return value && value[0] == '/' ? value : nullptr;
}

std::string home() {
  if (const char* value = absoluteValue("HOME")) return value;
  const passwd* entry = getpwuid(geteuid());
  return entry && entry->pw_dir ? entry->pw_dir : std::string("/");
}

const struct {
  UserFolder folder;
  const char* variable;  // the XDG variable that names its base
  const char* inHome;    // its base in $HOME without it; none: the runtime folder's fallbacks
} kUserFolders[] = {
    {UserFolder::runtime, "XDG_RUNTIME_DIR", nullptr},
    {UserFolder::config, "XDG_CONFIG_HOME", ".config"},
    {UserFolder::cache, "XDG_CACHE_HOME", ".cache"},
    {UserFolder::state, "XDG_STATE_HOME", ".local/state"},
};

// The folder systemd makes for the user's session, where it exists and is the user's.
std::optional<std::string> systemdRuntimeFolder() {
  const std::string folder = "/run/user/" + std::to_string(geteuid());
  struct stat info;
  if (::lstat(folder.c_str(), &info) != 0 || privateFolderRefusal(folder)) return std::nullopt;
  return folder;
}

struct Place {
  std::string_view device;         // a device folder, with its trailing slash
  std::optional<UserFolder> user;  // the user's folder it lives in; none: the install prefix
  std::string_view under;          // below that folder
};

const Place kPlaces[] = {
    {"/tmp/", UserFolder::runtime, ""},
    {"/var/mobile/Library/Preferences/", UserFolder::config, ""},
    {"/var/mobile/Library/Brimwell/", UserFolder::state, ""},
    {"/Library/MobileSubstrate/DynamicLibraries/", std::nullopt, "lib/brimwell/DynamicLibraries/"},
    {"/System/Library/Audio/UISounds/", std::nullopt, "share/brimwell/sounds/"},
};

// The row of the table a device path falls in, and whether it is the row's folder itself.
const Place* placeOf(std::string_view devicePath, bool& inside) {
  for (const auto& place : kPlaces) {
    const std::string_view folder = place.device.substr(0, place.device.size() - 1);
    inside = devicePath.substr(0, place.device.size()) == place.device;
    if (inside || devicePath == folder) return &place;
  }
  return nullptr;
}

std::string errnoText(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

}  // namespace

std::string userFolderPath(UserFolder folder) {
  for (const auto& row : kUserFolders) {
    if (row.folder != folder) continue;
    if (const char* base = absoluteValue(row.variable)) return std::string(base) + "/brimwell";
    if (row.inHome) return home() + "/" + row.inHome + "/brimwell";
  }
  if (const auto systemd = systemdRuntimeFolder()) return *systemd + "/brimwell";
  return userFolderPath(UserFolder::cache);
}

std::optional<std::string> privateFolderRefusal(const std::string& folder) {
  struct stat info;
  if (::lstat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return errnoText("cannot look at " + folder, errno);
  }
  if (S_ISLNK(info.st_mode)) return folder + " is a symbolic link, not a folder of its own";
  if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
  if (info.st_uid != geteuid()) {
    return folder + " is owned by uid " + std::to_string(info.st_uid) + ", not by you (uid " +
           std::to_string(geteuid()) + ")";
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return folder + " is writable by others (mode " + mode + "): chmod go-w it to use it";
  }
  return std::nullopt;
}

bool makePrivateFolder(const std::string& folder, std::string* why) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), error);
  if (!error && ::mkdir(folder.c_str(), 0700) == 0) {
    // Exactly 0700, whatever the umask took away.
    if (::chmod(folder.c_str(), 0700) != 0) error.assign(errno, std::generic_category());
  } else if (!error && errno != EEXIST) {
    error.assign(errno, std::generic_category());
  }
  if (error) {
    if (why) *why = "cannot make " + folder + ": " + error.message();
    return false;
  }
  const std::optional<std::string> refusal = privateFolderRefusal(folder);
  if (refusal && why) *why = *refusal;
  return !refusal;
}

std::optional<std::string> installedPlace(std::string_view devicePath) {
  bool inside = false;
  const Place* place = placeOf(devicePath, inside);
  if (!place) return std::nullopt;
  std::string path = (place->user ? userFolderPath(*place->user) : installPrefix()) + "/" +
                     std::string(place->under);
  if (inside) path += devicePath.substr(place->device.size());
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<std::string> placeRefusal(std::string_view devicePath) {
  bool inside = false;
  const Place* place = placeOf(devicePath, inside);
  if (!place || !place->user || environmentValue("SIM_DEVICE_ROOT")) return std::nullopt;
  return privateFolderRefusal(userFolderPath(*place->user));
}

bool makeFolderFor(std::string_view devicePath, std::string* why) {
  bool inside = false;
  const Place* place = placeOf(devicePath, inside);
  if (place && place->user && !environmentValue("SIM_DEVICE_ROOT") &&
      !makePrivateFolder(userFolderPath(*place->user), why)) {
    return false;
  }
  const std::filesystem::path folder =
      std::filesystem::path(deviceFilePath(devicePath)).parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error && why) *why = "cannot make " + folder.string() + ": " + error.message();
  return !error;
}

}  // namespace platform
