#include "host/app/laptop_defaults.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/dictionary_file.h"
#include "common/laptop_settings.h"
#include "common/settings_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace host {

std::optional<std::string> writeLaptopDefaults(std::string& why) {
  const std::string path = platform::deviceFilePath(brimwell::kSettingsPath);
  struct stat info;
  const int looked = ::lstat(path.c_str(), &info) == 0 ? 0 : errno;
  // What cannot be looked at, a link, a file that is no dictionary and one that is not the
  // user's alone are left to the user: rewriting the last would make it the user's own and so
  // let a command line someone else put there run.
  if ((looked != 0 && looked != ENOENT) ||
      (looked == 0 && (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
                       (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)))
    return std::nullopt;
  const bool exists = looked == 0;
  brimwell::Plist file =
      exists ? brimwell::readDictionaryFile(path) : brimwell::Plist::newDictionary();
  if (!file) return std::nullopt;
  const std::vector<std::string> filled = brimwell::fillLaptopDefaults(file);
  if (filled.empty()) return std::nullopt;
  if (!platform::makeFolderFor(brimwell::kSettingsPath, &why)) return std::nullopt;
  std::string cause;
  if (!brimwell::writePropertyListAtomically(file, path, &cause, SIZE_MAX,
                                             brimwell::Durability::synced)) {
    why = "cannot write " + path + ": " + cause;
    return std::nullopt;
  }
  namespace low = brimwell::low_battery_default;
  if (!exists) {
    return "no settings yet: wrote a laptop's defaults to " + path +
           " (completion alert with sound when the battery reports full, warnings at " +
           std::to_string(low::kLowLevel) + ", " + std::to_string(low::kCriticalLevel) + " and " +
           std::to_string(low::kActionLevel) + " %; brimwell-prefs shows and changes them)";
  }
  std::string keys;
  for (const std::string& key : filled) keys += (keys.empty() ? "" : ", ") + key;
  return "wrote a laptop's defaults for the settings not set (" + keys + ") to " + path +
         " (brimwell-prefs shows and changes them)";
}

}  // namespace host
