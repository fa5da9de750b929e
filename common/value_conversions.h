#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/api.h"
#include "common/plist.h"

namespace brimwell {

// Number, flag and text readings of one property-list value, as the platform's intValue,
// boolValue and "%@" give them. A null value is an absent key: 0, false, no text. Arrays,
// dictionaries, data and dates have no number or text form and read as absent too.
//
// An integer outside the int32 range saturates at the nearest limit with its sign kept (2^64-1
// gives INT32_MAX, -2^63 INT32_MIN), the same rule that reals and strings follow.
COMMON_API int32_t intValueOf(const Plist* value);
COMMON_API bool boolValueOf(const Plist* value);
COMMON_API std::optional<std::string> textOf(const Plist* value);

}  // namespace brimwell
