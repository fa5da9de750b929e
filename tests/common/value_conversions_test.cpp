#include "common/value_conversions.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <limits>
#include <ostream>
#include <string_view>

#include "common/plist.h"
#include "common/saturating_truncate.h"
#include "common/text_format.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

TEST(SaturatingTruncate, TruncatesTowardZeroAndSaturates) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int32_t expected;
  } cases[] = {
      {0.0, 0},
      {1.9, 1},
      {-1.9, -1},
      {2147483647.0, INT32_MAX},
      {2147483647.5, INT32_MAX},
      {2147483648.0, INT32_MAX},
      {1e10, INT32_MAX},
      {inf, INT32_MAX},
      {-2147483648.0, INT32_MIN},
      {-2147483648.5, INT32_MIN},
      {-2147483649.0, INT32_MIN},
      {-inf, INT32_MIN},
      {std::nan(""), 0},
      {static_cast<double>(2147483648.0f), INT32_MAX},  // INT32_MAX as a float rounds up
  };
  for (const auto& c : cases) EXPECT_EQ(saturatingTruncate(c.value), c.expected) << c.value;
}

struct Conversion {
  const char* valueXml;  // the value under key "k"; nullptr for an absent key
  int32_t intValue;
  bool boolValue;
  std::optional<std::string> text;
};

class ValueConversionTest : public ::testing::TestWithParam<Conversion> {};

void PrintTo(const Conversion& c, std::ostream* out) {
  *out << (c.valueXml ? c.valueXml : "(absent)");
}

// "integer_minus523", "real_30_99", "absent": the value's element and its text.
std::string conversionName(const ::testing::TestParamInfo<Conversion>& info) {
  if (!info.param.valueXml) return "absent";
  std::string_view xml = info.param.valueXml;
  xml = xml.substr(
      0, xml.size() >= 2 && xml.substr(xml.size() - 2) == "/>" ? xml.size() - 2 : xml.rfind("</"));
  std::string name;
  bool textStarts = false;
  for (const char c : xml) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      name += c;
    } else if (textStarts && (c == '-' || c == '+')) {
      name += c == '-' ? "minus" : "plus";
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
    textStarts = c == '>';
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

TEST_P(ValueConversionTest, ReadsAsNumberFlagAndText) {
  const Conversion& c = GetParam();
  const std::string body = c.valueXml ? std::string("<key>k</key>") + c.valueXml : "";
  const std::string xml = testing_support::plistXml(body);
  const Plist dict = Plist::fromMemory(xml);
  ASSERT_TRUE(dict.isDictionary()) << xml;
  const Plist* node = dict.item("k");
  EXPECT_EQ(intValueOf(node), c.intValue);
  EXPECT_EQ(boolValueOf(node), c.boolValue);
  EXPECT_EQ(textOf(node), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    EveryValueKind, ValueConversionTest,
    ::testing::Values(
        Conversion{nullptr, 0, false, std::nullopt},
        Conversion{"<integer>1750</integer>", 1750, true, "1750"},
        Conversion{"<integer>-523</integer>", -523, true, "-523"},
        Conversion{"<integer>0</integer>", 0, false, "0"},
        Conversion{"<integer>4294967296</integer>", INT32_MAX, true, "4294967296"},
        Conversion{"<integer>-3000000000</integer>", INT32_MIN, true, "-3000000000"},
        Conversion{"<integer>9223372036854775808</integer>", INT32_MAX, true,
                   "9223372036854775808"},
        Conversion{"<integer>18446744073709551615</integer>", INT32_MAX, true,
                   "18446744073709551615"},
        Conversion{"<integer>-9223372036854775808</integer>", INT32_MIN, true,
                   "-9223372036854775808"},
        Conversion{"<integer>+0042</integer>", 42, true, "42"}, Conversion{"<true/>", 1, true, "1"},
        Conversion{"<false/>", 0, false, "0"}, Conversion{"<real>30.99</real>", 30, true, "30.99"},
        Conversion{"<real>-2.7</real>", -2, true, "-2.7"},
        Conversion{"<real>0.0</real>", 0, false, "0"},
        Conversion{"<real>1e300</real>", INT32_MAX, true, "1e+300"},
        Conversion{"<real>-1e300</real>", INT32_MIN, true, "-1e+300"},
        Conversion{"<real>nan</real>", 0, true, "nan"},
        Conversion{"<string> 12abc</string>", 12, true, " 12abc"},
        Conversion{"<string>yes</string>", 0, true, "yes"},
        Conversion{"<string>0</string>", 0, false, "0"},
        Conversion{"<string>A1B2 \xE2\x84\x83</string>", 0, false, "A1B2 \xE2\x84\x83"},
        Conversion{"<array><integer>5</integer></array>", 0, false, std::nullopt},
        Conversion{"<dict><key>x</key><integer>5</integer></dict>", 0, false, std::nullopt},
        Conversion{"<data>AAE=</data>", 0, false, std::nullopt},
        Conversion{"<date>2020-01-01T00:00:00Z</date>", 0, false, std::nullopt}),
    conversionName);

TEST(ShortestDecimal, ReadsBackExactly) {
  for (double v : {0.1, 0.1 + 0.2, 1.0 / 3.0, 4120.0, -2.5e-300, 1e21}) {
    EXPECT_EQ(std::stod(shortestDecimal(v)), v);
  }
  EXPECT_EQ(shortestDecimal(30.56), "30.56");
}

}  // namespace
}  // namespace brimwell
