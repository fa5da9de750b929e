#pragma once

#include <string>
#include <vector>

namespace brimwell::plugin {

// The plug-in's built-in text sets, chosen by the first preferred language, compared exactly:
// "zh-Hans", "zh-Hant", anything else (and an empty list) English.
enum class TextLanguage { simplifiedChinese, traditionalChinese, english };

inline TextLanguage textLanguageFor(const std::vector<std::string>& preferredLanguages) {
  if (preferredLanguages.empty()) return TextLanguage::english;
  const std::string& first = preferredLanguages.front();
  if (first == "zh-Hans") return TextLanguage::simplifiedChinese;
  if (first == "zh-Hant") return TextLanguage::traditionalChinese;
  return TextLanguage::english;
}

// The text set of the first preferred language among the three.
template <typename TextSet>
const TextSet& textSetFor(const std::vector<std::string>& preferredLanguages,
                          const TextSet& simplified, const TextSet& traditional,
                          const TextSet& english) {
  switch (textLanguageFor(preferredLanguages)) {
    case TextLanguage::simplifiedChinese:
      return simplified;
    case TextLanguage::traditionalChinese:
      return traditional;
    default:
      return english;
  }
}

}  // namespace brimwell::plugin
