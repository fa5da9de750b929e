#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/api.h"
#include "common/plist.h"

// A laptop's settings: the plug-in reads an unset key as 0 or off, which on a laptop would leave
// the completion alert silent, so the laptop's service and brimwell-prefs write its defaults into
// the file for every key the user has not set. The keys so filled are named under
// setting::kLaptopDefaults, so that a default is shown as one and a user's choice is never taken
// for a default or overwritten. A phone's file has no such key and is left as the user wrote it.
namespace brimwell {

// The laptop's defaults, one entry a key.
COMMON_API const Plist& laptopDefaults();

// Whether the file is a laptop's (defaults have been filled in).
COMMON_API bool hasLaptopDefaults(const Plist& settings);

// Sets every key with a laptop default that the file does not hold, and names it as a default;
// a key the file holds is left as it is. The keys set, in the order of laptopDefaults().
COMMON_API std::vector<std::string> fillLaptopDefaults(Plist& settings);

// Whether the key holds the laptop default it was filled with (not a value the user chose).
COMMON_API bool holdsLaptopDefault(const Plist& settings, std::string_view key);

// The key's value is the user's choice from now on.
COMMON_API void markChosen(Plist& settings, std::string_view key);

}  // namespace brimwell
