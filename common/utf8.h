#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/api.h"

namespace brimwell {

// The length of the well-formed UTF-8 sequence that starts at text[at] (1 to 4), or 0 when
// none does: a stray continuation byte, an overlong form, a surrogate, a value above U+10FFFF,
// or a sequence cut short.
COMMON_API size_t utf8SequenceAt(std::string_view text, size_t at);

// The text with every byte that is not part of well-formed UTF-8, and every control character
// (C0, DEL and C1), left out.
COMMON_API std::string printableUtf8(std::string_view text);

}  // namespace brimwell
