#pragma once

#include <optional>
#include <string>

namespace host {

// On its first start on the machine's own battery, with no settings file yet, the host writes
// one with a laptop's defaults: completion at the battery's own "full" (so a battery held at
// its charge limit completes), its dialog and sound on, and the low-battery levels. A file that
// exists is never touched. The line to say when it wrote one; none otherwise. Why, when it
// could not.
std::optional<std::string> writeLaptopDefaultsIfMissing(std::string& why);

}  // namespace host
