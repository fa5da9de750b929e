#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/api.h"

namespace brimwell {

// Property-list dates: seconds since 2001-01-01T00:00:00Z, written as "YYYY-MM-DDTHH:MM:SSZ"
// in the proleptic Gregorian calendar, for the years 1 to 9999 (what the text form can hold).

// The seconds of exactly that form, with a valid day and time; none for anything else.
COMMON_API std::optional<double> parsePlistDate(std::string_view text);

// The text of the second that holds the instant; none when it falls outside the years 1 to
// 9999 or is not a number.
COMMON_API std::optional<std::string> formatPlistDate(double secondsSince2001);

}  // namespace brimwell
