#include "plugin/alert_texts.h"

#include "platform/foundation/ns_string.h"
#include "plugin/text_language.h"

namespace brimwell::plugin {
namespace {

const AlertTexts kSimplified{"\u63d0\u793a", "\u5145\u7535\u5df2\u5b8c\u6210",
                             "\u5145\u7535\u5df2\u5230\u8fbe", "\u786e\u5b9a"};
const AlertTexts kTraditional{"\u63d0\u793a", "\u5145\u96fb\u5df2\u5b8c\u6210",
                              "\u5145\u96fb\u5df2\u5230\u8fbe", "\u597d"};
const AlertTexts kEnglish{"Message", "Charging is complete", "Charging has reached", "OK"};

}  // namespace

const AlertTexts& alertTextsFor(const std::vector<std::string>& preferredLanguages) {
  return textSetFor(preferredLanguages, kSimplified, kTraditional, kEnglish);
}

std::string levelMessage(const AlertTexts& texts, int32_t alertLevel) {
  return NSString::stringWithFormat("%s %d%%", texts.levelPrefix, alertLevel);
}

}  // namespace brimwell::plugin
