#pragma once

#include <cstddef>

#include "platform/api.h"

namespace platform {

// The plug-in loader: opens every "*.dylib" in the device's
// "/Library/MobileSubstrate/DynamicLibraries/" in name order, which runs each library's
// load-time constructor once. A library that fails to load is reported on stderr in one line
// and the rest still load. Gives the number loaded.
PLATFORM_API size_t loadDynamicLibraries();

}  // namespace platform
