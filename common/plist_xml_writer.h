#pragma once

#include <optional>
#include <string>

#include "common/api.h"
#include "common/plist.h"

namespace brimwell {

// The XML property-list text of a value tree, in the platform's layout; it reads back through
// any XML 1.0 reader. Every value reads back unchanged, reals in their shortest exact form and
// dates to the second, with one exception: text that XML 1.0 cannot hold (control characters
// other than tab, line feed and carriage return, U+FFFE, U+FFFF, bytes that are not UTF-8) is
// written with U+FFFD in their place, so that the file always stays readable.
// No text, and why, for no value, a tree nested deeper than kMaxPlistDepth, or a date outside
// the years 1 to 9999.
COMMON_API std::optional<std::string> xmlPropertyList(const Plist& root,
                                                      std::string* why = nullptr);

}  // namespace brimwell
