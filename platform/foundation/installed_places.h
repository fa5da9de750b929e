#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/api.h"

namespace platform {

// The user's own Brimwell folders ("<base>/brimwell"), each private to the user. A new one is a
// row in the table of installed_places.cpp.
enum class UserFolder { runtime, config, cache, state };

// Where a user folder is: under its XDG variable when that holds an absolute path (a relative
// one is ignored, as the XDG base-directory rules say), else under its place in $HOME. The
// runtime folder falls back on /run/user/<uid> where that is the user's (as systemd makes it),
// then on the cache folder.
PLATFORM_API std::string userFolderPath(UserFolder folder);

// The rule every Brimwell folder of the user's is used under, as ssh treats ~/.ssh: a real
// folder (not a symbolic link), owned by the user, writable by nobody else. Why it may not be
// used, naming it ("/run/user/1000/brimwell is owned by uid 0, not by you (uid 1000)"); none
// when it may, or does not exist yet.
PLATFORM_API std::optional<std::string> privateFolderRefusal(const std::string& folder);

// Makes a private folder (mode 0700, its parents as needed) unless it exists, then holds it to
// that rule. False, with why, when it cannot be made or may not be used.
PLATFORM_API bool makePrivateFolder(const std::string& folder, std::string* why = nullptr);

// Where a device path lives on an installed system (no SIM_DEVICE_ROOT): the user's own folders
// for what a user writes, the install prefix for what comes with the programs. One table:
//   /tmp/...                              the runtime folder
//   /var/mobile/Library/Preferences/...   the config folder
//   /var/mobile/Library/Brimwell/...      the state folder (the battery's history)
//   /Library/MobileSubstrate/DynamicLibraries/...  <prefix>/lib/brimwell/DynamicLibraries/...
//   /System/Library/Audio/UISounds/...    <prefix>/share/brimwell/sounds/...
// None for a path outside the table, which stays as it is.
PLATFORM_API std::optional<std::string> installedPlace(std::string_view devicePath);

// Why the folder that holds a device path may not be used: the rule above for the user's own
// folders; none on a simulated device and for the install prefix.
PLATFORM_API std::optional<std::string> placeRefusal(std::string_view devicePath);

// Makes the folder that holds a device path, as the device has it; the user's own folders are
// made private and held to the rule. False, with why, when it cannot be made or used.
PLATFORM_API bool makeFolderFor(std::string_view devicePath, std::string* why = nullptr);

}  // namespace platform
