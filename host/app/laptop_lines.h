#pragma once

#include <string>
#include <vector>

#include "common/plist.h"

namespace host {

// Whether a status is a laptop's: the host adds its own figures to those only.
bool isLaptopStatus(const brimwell::Plist& status);

// What the host's screen says of a laptop's status in place of a phone's lock screen, whose
// charging line means nothing on a laptop: the level and state as the status gives them, and
// the host's time where it has one ("62 %, on battery", "about 2 h 49 min to empty").
std::vector<std::string> laptopLines(const brimwell::Plist& status);

}  // namespace host
