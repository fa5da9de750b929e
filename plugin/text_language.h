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

}  // namespace brimwell::plugin
