#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/api.h"
#include "common/plist.h"

namespace brimwell {

// The texts of an XML property list's scalars, read strictly; no value for anything else.

// An optional sign and decimal digits, within -2^63 .. 2^64-1.
COMMON_API Plist integerFromText(std::string_view text);

// A decimal number with an optional fraction and exponent, or nan, inf, infinity (any case),
// each with an optional sign. Out-of-range magnitudes become infinity or zero, as strtod gives.
COMMON_API std::optional<double> realFromText(std::string_view text);

// Base64 with its padding; blanks and line breaks anywhere are skipped.
COMMON_API std::optional<std::string> bytesFromBase64(std::string_view text);

}  // namespace brimwell
