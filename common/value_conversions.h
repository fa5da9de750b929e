#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <optional>
#include <string>

namespace brimwell {

// Number, flag and text readings of one property-list value, as the platform's intValue,
// boolValue and "%@" give them. A null node is an absent key: 0, false, no text. Arrays,
// dictionaries, data and dates have no number or text form and read as absent too.
//
// Integers are stored as 64 bits; one outside the int32 range saturates at the nearest limit,
// the same rule that reals and strings follow.
int32_t intValueOf(plist_t node);
bool boolValueOf(plist_t node);
std::optional<std::string> textOf(plist_t node);

}  // namespace brimwell
