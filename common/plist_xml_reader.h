#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/api.h"
#include "common/plist.h"
#include "common/plist_array_stream.h"

namespace brimwell {

// Reads an XML property list strictly, on expat: well-formed XML 1.0 whose root <plist> holds
// exactly one value built from the property-list elements, each scalar's text exact. Comments,
// a DOCTYPE, whitespace between elements and the predefined and character references are
// fine; entity declarations, undefined entities and anything after the root but whitespace and
// comments are not. No value, and why ("line N: ..."), for anything else.
COMMON_API Plist readXmlPropertyList(std::string_view bytes, std::string& why);

// An XML list whose top value is an array, fed to the parser a piece of the file at a time and
// its elements given as each closes (see PlistArrayStream).
std::unique_ptr<PlistArrayStream> xmlArrayStream(ByteInput& input, ElementLimits limits);

}  // namespace brimwell
