#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brimwell::plugin {

// The dialog texts of one language.
struct AlertTexts {
  const char* title;
  const char* completionMessage;
  const char* levelPrefix;
  const char* button;
};

// By the first preferred language, exactly "zh-Hans" or "zh-Hant"; anything else, and an
// empty list, gives English.
const AlertTexts& alertTextsFor(const std::vector<std::string>& preferredLanguages);

// "<prefix> <level>%"
std::string levelMessage(const AlertTexts& texts, int32_t alertLevel);

}  // namespace brimwell::plugin
