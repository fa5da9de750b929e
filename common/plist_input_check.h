#pragma once

#include <string_view>

namespace brimwell {

// Whether property-list bytes hold a NUL character inside a string or key: raw or as a
// character reference in XML, or in a string object of a binary list. libplist keeps such
// strings with inconsistent lengths and later aborts or reads past them, so the reader treats
// these files as malformed. Binary lists whose layout cannot be followed count as such too.
bool carriesNulInText(std::string_view bytes);

}  // namespace brimwell
