#pragma once

#include <optional>
#include <string>

namespace host {

// At each start on the machine's own battery, the host writes a laptop's defaults into the
// settings file for every key the user has not set (all of them when there is no file yet):
// completion at the battery's own "full" (so a battery held at its charge limit completes), its
// dialog and sound on, and the low-battery levels. A value the file holds is never touched, nor
// a file that is not a settings dictionary or not a plain file. The line to say when it wrote
// some; none otherwise. Why, when it could not.
std::optional<std::string> writeLaptopDefaults(std::string& why);

}  // namespace host
