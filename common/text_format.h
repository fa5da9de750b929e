#pragma once

#include <initializer_list>
#include <string>

#include "common/api.h"

namespace brimwell {

// A text in double quotes with \" and \\ escaped, and control characters as \n, \t, \r or
// \xHH, so that it always stays on one line.
COMMON_API std::string quoted(const std::string& text);

// The shortest decimal text that reads back as exactly this value ("0.8", "181.640625").
COMMON_API std::string shortestDecimal(double value);
COMMON_API std::string shortestDecimal(float value);

// Values in their shortest form, separated by commas: "0.8,0,0,1".
COMMON_API std::string commaSeparated(std::initializer_list<double> values);
COMMON_API std::string commaSeparated(std::initializer_list<float> values);

}  // namespace brimwell
