#pragma once

#include <cstdio>
#include <string_view>

#include "common/api.h"

// Text to standard output, standard error or a file, through stdio rather than iostreams: a C++
// stream sets up the whole locale machinery, half a megabyte of a resident service's memory, for
// what is a line at a time here.
namespace brimwell {

// Writes the text as it stands. A failure stays in the stream's error flag, for whoever closes
// or flushes it to find.
COMMON_API void writeText(std::FILE* out, std::string_view text);

// Writes the text and flushes it, so that a file or the journal has the line at once, whole.
COMMON_API void writeLine(std::FILE* out, std::string_view text);

}  // namespace brimwell
