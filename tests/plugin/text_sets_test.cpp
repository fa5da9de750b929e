#include <gtest/gtest.h>

#include "plugin/alert_texts.h"
#include "plugin/lock_screen_rules.h"

namespace brimwell::plugin {
namespace {

TEST(TextSets, OnlyAnExactFirstLanguageChoosesChinese) {
  const struct {
    std::vector<std::string> languages;
    const char* alertTitle;
    const char* lockTitle;
  } cases[] = {
      {{"zh-Hans"}, "\u63d0\u793a", "\u9884\u8ba1\u5145\u7535"},
      {{"zh-Hant", "en"}, "\u63d0\u793a", "\u9810\u8a08\u5145\u96fb"},
      {{"en", "zh-Hans"}, "Message", "Remaining Time"},
      {{"fr"}, "Message", "Remaining Time"},
      {{"zh-HK"}, "Message", "Remaining Time"},
      {{"zh-Hans-CN"}, "Message", "Remaining Time"},
      {{"ZH-HANS"}, "Message", "Remaining Time"},
      {{}, "Message", "Remaining Time"},  // an empty list reads as English
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(alertTextsFor(c.languages).title, c.alertTitle);
    EXPECT_STREQ(chargingTextSetFor(c.languages).title, c.lockTitle);
  }
}

TEST(TextSets, DialogTexts) {
  const AlertTexts& hans = alertTextsFor({"zh-Hans"});
  EXPECT_STREQ(hans.completionMessage, "\u5145\u7535\u5df2\u5b8c\u6210");
  EXPECT_STREQ(hans.button, "\u786e\u5b9a");
  const AlertTexts& hant = alertTextsFor({"zh-Hant"});
  EXPECT_EQ(levelMessage(hant, 80), "\u5145\u96fb\u5df2\u5230\u8fbe 80%");
  EXPECT_STREQ(hant.button, "\u597d");
  const AlertTexts& english = alertTextsFor({"en"});
  EXPECT_EQ(levelMessage(english, 80), "Charging has reached 80%");
  EXPECT_EQ(levelMessage(english, -5), "Charging has reached -5%");
  EXPECT_EQ(levelMessage(english, 0), "Charging has reached 0%");
}

}  // namespace
}  // namespace brimwell::plugin
