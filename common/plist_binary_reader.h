#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "common/api.h"
#include "common/plist.h"
#include "common/plist_array_stream.h"

namespace brimwell {

// A binary list may share one object among many places; reading stops past this many values,
// about as many as a megabyte of XML can hold, so a small file cannot expand without bound.
inline constexpr size_t kMaxBinaryPlistValues = size_t{1} << 17;

COMMON_API bool isBinaryPropertyList(std::string_view bytes);

// Reads a binary property list ("bplist00"), every offset, length and reference checked
// against the file's bounds; no value, and why, for anything malformed: a reference cycle, a
// key that is not a string, text with a NUL inside or that is not the encoding it claims, an
// integer beyond -2^63 .. 2^64-1, a date outside the years 1 to 9999.
COMMON_API Plist readBinaryPropertyList(std::string_view bytes, std::string& why);

// A binary list whose top value is an array, its elements read one at a time through the
// offset table, the file a few blocks at a time (see PlistArrayStream).
std::unique_ptr<PlistArrayStream> binaryArrayStream(ByteInput& input, ElementLimits limits);

}  // namespace brimwell
