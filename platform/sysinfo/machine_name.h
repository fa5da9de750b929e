#pragma once

#include <optional>
#include <string>

#include "platform/api.h"

namespace platform {

// The firmware's name for the machine, from a DMI folder (/sys/class/dmi/id): the product
// version where the vendor puts the name there (Lenovo: "ThinkPad X1 Carbon Gen 9"), otherwise
// the product name; placeholders ("None", "Default string", "To be filled by O.E.M." and the
// like) skipped; the vendor in front unless the name already starts with it. None when the
// firmware names nothing.
PLATFORM_API std::optional<std::string> dmiMachineName(const std::string& folder);

}  // namespace platform
