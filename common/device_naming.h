#pragma once

#include <string>

#include "common/api.h"

// How every text names one of the user's other batteries (the viewer's table, the bars, the
// host's notices and lines, brimwell-prefs): the kind's word before its name only where it adds
// to the name.
namespace brimwell {

// Whether the name holds the word, in any letter case, with no letter or digit on either side:
// "Bluetooth Mouse M336" holds "mouse", "Mousepad" does not.
COMMON_API bool nameHoldsWord(const std::string& name, const std::string& word);

// Whether a kind's word adds to the name: never for a kind not known (other), nor where the name
// already says it, in the kind's own word or in `kindShown`, the word a text shows for it.
COMMON_API bool kindAddsTo(const std::string& name, const std::string& kind,
                           const std::string& kindShown);

// "Mouse MX Master 3", "Bluetooth Mouse M336", "MX Master 3" (of a kind not known): `shownName`
// (the name, or the name as a text quotes it) after `kindShown` only where the kind adds to the
// name.
COMMON_API std::string deviceNamed(const std::string& name, const std::string& kind,
                                   const std::string& kindShown, const std::string& shownName);
COMMON_API std::string deviceNamed(const std::string& name, const std::string& kind,
                                   const std::string& kindShown);

// "Mouse": a kind's word as a title, as the English texts show it.
COMMON_API std::string kindTitle(const std::string& kind);

}  // namespace brimwell
