#pragma once

#include <plist/plist.h>

#include <optional>
#include <string>

namespace brimwell {

// The XML property-list text of a value tree, in the platform's layout. Every value reads back
// unchanged: characters XML cannot carry raw are written as character references, reals in
// their shortest exact form. No text for a tree nested deeper than kMaxXmlDepth.
inline constexpr int kMaxXmlDepth = 512;
std::optional<std::string> xmlPropertyList(plist_t root);

}  // namespace brimwell
