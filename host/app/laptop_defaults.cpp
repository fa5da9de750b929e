#include "host/app/laptop_defaults.h"

#include <sys/stat.h>

#include <cerrno>

#include "common/dictionary_file.h"
#include "common/settings_keys.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

namespace host {

std::optional<std::string> writeLaptopDefaultsIfMissing(std::string& why) {
  const std::string path = platform::deviceFilePath(brimwell::kSettingsPath);
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0 || errno != ENOENT) return std::nullopt;
  namespace key = brimwell::setting;
  namespace low = brimwell::low_battery_default;
  using brimwell::Plist;
  Plist d = Plist::newDictionary();
  d.setItem(key::kChargeMode, Plist::integer(2));
  d.setItem(key::kIsPopAlert, Plist::boolean(true));
  d.setItem(key::kIsSound, Plist::boolean(true));
  d.setItem(key::kLowLevel, Plist::integer(low::kLowLevel));
  d.setItem(key::kCriticalLevel, Plist::integer(low::kCriticalLevel));
  d.setItem(key::kActionLevel, Plist::integer(low::kActionLevel));
  d.setItem(key::kLowAction, Plist::string(low::kLowAction));
  d.setItem(key::kLowActionDelay, Plist::integer(low::kLowActionDelay));
  d.setItem(key::kLowRepeatMinutes, Plist::integer(low::kLowRepeatMinutes));
  if (!platform::makeFolderFor(brimwell::kSettingsPath, &why)) return std::nullopt;
  std::string cause;
  if (!brimwell::writePropertyListAtomically(d, path, &cause, SIZE_MAX,
                                             brimwell::Durability::synced)) {
    why = "cannot write " + path + ": " + cause;
    return std::nullopt;
  }
  return "no settings yet: wrote a laptop's defaults to " + path +
         " (completion alert with sound when the battery reports full, warnings at " +
         std::to_string(low::kLowLevel) + ", " + std::to_string(low::kCriticalLevel) + " and " +
         std::to_string(low::kActionLevel) + " %; brimwell-prefs shows and changes them)";
}

}  // namespace host
