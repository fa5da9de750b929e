#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/api.h"

namespace platform {

// The translations of one GNU message catalogue (a .mo file, as msgfmt writes it), keyed by
// the original text; empty when the file is absent or not such a catalogue. Read directly, so
// choosing a language touches no process-wide state (LANGUAGE, the locale).
PLATFORM_API std::unordered_map<std::string, std::string> readMessageCatalogue(
    const std::string& path);
PLATFORM_API std::unordered_map<std::string, std::string> messageCatalogueFrom(
    std::string_view bytes);

}  // namespace platform
