#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/api.h"

namespace platform {

// Where a device path lives on an installed system (no SIM_DEVICE_ROOT): the user's own places
// for what a user writes, the install prefix for what comes with the programs. One table:
//   /tmp/...                              $XDG_RUNTIME_DIR/brimwell/... (else $XDG_CACHE_HOME/
//                                         brimwell, else ~/.cache/brimwell)
//   /var/mobile/Library/Preferences/...   $XDG_CONFIG_HOME/brimwell/... (else ~/.config/brimwell)
//   /Library/MobileSubstrate/DynamicLibraries/...  <prefix>/lib/brimwell/DynamicLibraries/...
//   /System/Library/Audio/UISounds/...    <prefix>/share/brimwell/sounds/...
// None for a path outside the table, which stays as it is.
PLATFORM_API std::optional<std::string> installedPlace(std::string_view devicePath);

// Makes the folder that holds a device path, as the device has it; the user's own folders are
// made private (mode 0700). False, with why, when it cannot be made.
PLATFORM_API bool makeFolderFor(std::string_view devicePath, std::string* why = nullptr);

}  // namespace platform
