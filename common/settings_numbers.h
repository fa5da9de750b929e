#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/api.h"
#include "common/plist.h"

// Whole numbers in a settings file the user may have edited by hand.
namespace brimwell {

// A number as a hand-edited file may hold it: an integer, a real, or a string of digits; none
// for anything else, which must not read as 0 (a warning off, an action at once).
COMMON_API std::optional<int> wholeNumberIn(const Plist& value);

// A whole-number setting within [low, high]: one outside is brought within, one that is no
// number keeps `out` as it is, either said in `complaints`. `name` is the key as the complaint
// names it; no value leaves everything as it is.
COMMON_API void readWholeNumber(const Plist* value, const std::string& name, int low, int high,
                                int& out, std::vector<std::string>& complaints);

}  // namespace brimwell
