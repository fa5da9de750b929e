#include "common/value_conversions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

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

TEST_P(ValueConversionTest, ReadsAsNumberFlagAndText) {
  const Conversion& c = GetParam();
  const std::string body = c.valueXml ? std::string("<key>k</key>") + c.valueXml : "";
  const std::string xml = testing_support::plistXml(body);
  const Plist dict = Plist::fromMemory(xml);
  ASSERT_TRUE(dict.isDictionary()) << xml;
  const plist_t node = dict.item("k");
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
        Conversion{"<true/>", 1, true, "1"}, Conversion{"<false/>", 0, false, "0"},
        Conversion{"<real>30.99</real>", 30, true, "30.99"},
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
        Conversion{"<date>2020-01-01T00:00:00Z</date>", 0, false, std::nullopt}));

TEST(ValueConversions, TextWithANulInsideMakesTheFileMalformed) {
  // libplist keeps such strings with inconsistent lengths and later aborts on them.
  const unsigned char binary[] = {
      0x62, 0x70, 0x6c, 0x69, 0x73, 0x74, 0x30, 0x30, 0xd3, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
      0x5f, 0x10, 0x17, 0x41, 0x70, 0x70, 0x6c, 0x65, 0x52, 0x61, 0x77, 0x43, 0x75, 0x72, 0x72,
      0x65, 0x6e, 0x74, 0x43, 0x61, 0x70, 0x61, 0x63, 0x69, 0x74, 0x79, 0x56, 0x53, 0x65, 0x72,
      0x69, 0x61, 0x6c, 0x5a, 0x69, 0x73, 0x50, 0x6f, 0x70, 0x41, 0x6c, 0x65, 0x72, 0x74, 0x56,
      0x20, 0x31, 0x32, 0x00, 0x33, 0x34, 0x57, 0x43, 0x30, 0x00, 0x74, 0x61, 0x69, 0x6c, 0x54,
      0x00, 0x79, 0x65, 0x73, 0x08, 0x0f, 0x29, 0x30, 0x3b, 0x42, 0x4a, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4f};
  const std::string nulBinary(reinterpret_cast<const char*>(binary), sizeof binary);
  const auto xml = [](const std::string& key, const std::string& value) {
    return testing_support::plistXml("<key>" + key + "</key><string>" + value + "</string>");
  };
  const struct {
    const char* name;
    std::string bytes;
    bool dictionary;
  } cases[] = {
      {"binary with NULs in strings", nulBinary, false},
      {"raw NUL in an XML key", xml(std::string("a\0b", 3), "v"), false},
      {"raw NUL in an XML string", xml("k", std::string("a\0b", 3)), false},
      {"&#0;", xml("k", "a&#0;b"), false},
      {"&#x0000;", xml("k&#x0000;", "v"), false},
      {"&#X0;", xml("k", "&#X0;"), false},
      {"&#x10; is a character", xml("k", "a&#x10;b"), true},
      {"&#48; is a digit", xml("k", "&#48;"), true},
      {"&#00048; too", xml("k", "&#00048;"), true},
  };
  for (const auto& c : cases) {
    const Plist dict = Plist::fromMemory(c.bytes);
    EXPECT_EQ(dict.isDictionary(), c.dictionary) << c.name;
  }
  EXPECT_EQ(textOf(Plist::fromMemory(xml("k", "&#48;x")).item("k")), "0x");
}

TEST(ShortestDecimal, ReadsBackExactly) {
  for (double v : {0.1, 0.1 + 0.2, 1.0 / 3.0, 4120.0, -2.5e-300, 1e21}) {
    EXPECT_EQ(std::stod(shortestDecimal(v)), v);
  }
  EXPECT_EQ(shortestDecimal(30.56), "30.56");
}

}  // namespace
}  // namespace brimwell
