#pragma once

#include <cstdint>
#include <string_view>

#include "common/api.h"

namespace brimwell {

// The platform's reading of a string as a number or flag.
// intValue: leading blanks, an optional sign, then decimal digits up to the first non-digit;
// saturates at the int32 limits; no digits gives 0.
COMMON_API int32_t stringIntValue(std::string_view text);
// boolValue: leading blanks, an optional sign, leading zeros skipped, then true on
// Y, y, T, t or a digit 1-9.
COMMON_API bool stringBoolValue(std::string_view text);

}  // namespace brimwell
