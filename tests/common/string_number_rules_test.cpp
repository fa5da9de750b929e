#include "common/string_number_rules.h"

#include <gtest/gtest.h>

#include <climits>

namespace brimwell {
namespace {

TEST(StringIntValue, ReadsLikeThePlatform) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"42", 42},
      {"  -17abc", -17},
      {"+5", 5},
      {"\t\n 12", 12},
      {"3.9", 3},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"--5", 0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999999999999", INT32_MIN},
      {"007", 7},
      {"12 34", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(stringIntValue(c.text), c.expected) << '"' << c.text << '"';
}

TEST(StringBoolValue, ReadsLikeThePlatform) {
  const struct {
    const char* text;
    bool expected;
  } cases[] = {
      {"YES", true},  {"yes", true},    {"true", true},  {"T", true},   {"1", true},
      {"9", true},    {"00001", true},  {"-0002", true}, {"+y", true},  {"  Y", true},
      {"0", false},   {"000", false},   {"no", false},   {"", false},   {"N", false},
      {"0x1", false}, {"false", false}, {" -", false},   {"  ", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(stringBoolValue(c.text), c.expected) << '"' << c.text << '"';
}

}  // namespace
}  // namespace brimwell
