#include "host/scenario/scenario.h"

#include <gtest/gtest.h>

#include "common/value_conversions.h"
#include "tests/support/temp_dir.h"

namespace host {
namespace {

TEST(ScenarioValue, Kinds) {
  using Kind = brimwell::Plist::Kind;
  const struct {
    const char* text;
    brimwell::Plist::Kind kind;
    const char* asText;
  } cases[] = {
      {"true", Kind::Boolean, "1"},
      {"false", Kind::Boolean, "0"},
      {"1750", Kind::Integer, "1750"},
      {"-523", Kind::Integer, "-523"},
      {"3.5", Kind::Real, "3.5"},
      {"-1e3", Kind::Real, "-1000"},
      {".5", Kind::Real, "0.5"},
      {"\"a b\"", Kind::String, "a b"},
      {"\"\"", Kind::String, ""},
      {"\"q\\\"\\\\\"", Kind::String, "q\"\\"},
      {"A1B2", Kind::String, "A1B2"},
      {"TRUE", Kind::String, "TRUE"},
      {"1.2.3", Kind::String, "1.2.3"},
      {"-", Kind::String, "-"},
      {"e", Kind::String, "e"},
      {"9223372036854775807", Kind::Integer, "9223372036854775807"},
      {"18446744073709551615", Kind::Integer, "18446744073709551615"},
      {"-9223372036854775808", Kind::Integer, "-9223372036854775808"},
  };
  for (const auto& c : cases) {
    std::string why;
    const brimwell::Plist value = parseValue(c.text, why);
    ASSERT_TRUE(value) << c.text << ": " << why;
    EXPECT_EQ(value.kind(), c.kind) << c.text;
    EXPECT_EQ(brimwell::textOf(&value), c.asText) << c.text;
  }
  std::string why;
  EXPECT_FALSE(parseValue("99999999999999999999", why));
  EXPECT_FALSE(parseValue("-9223372036854775809", why));
  EXPECT_FALSE(parseValue("", why));
  EXPECT_FALSE(parseValue("\"a\"b", why));
  EXPECT_FALSE(parseValue("\"\\n\"", why));
}

TEST(Scenario, BadLinesNameTheLineAndRunNothing) {
  testing_support::TempDir dir;
  const std::string malformed = dir.write(
      "malformed.plist", testing_support::plistXml("<key>V</key><integer>41x20</integer>"));
  const std::string notADictionary = dir.write("array.plist", "<plist><array/></plist>");
  const std::string malformedLine = "status-file " + malformed + "\n";
  const std::string arrayLine = "status-file " + notADictionary + "\n";
  const struct {
    const char* text;
    int line;
    const char* why;
  } cases[] = {
      {"status A=1\nfrobnicate\n", 2, "unknown command 'frobnicate'"},
      {"status A\n", 1, "expected KEY=VALUE, got 'A'"},
      {"status =1\n", 1, "expected KEY=VALUE"},
      {"status A=1 A=2\n", 1, "key 'A' given twice"},
      {"# comment\n\nstatus S=\"open\n", 3, "unterminated quoted string"},
      {"settings-raw\n", 1, "settings-raw takes one PATH"},
      {"settings-raw /dev/zero\n", 1, "cannot read /dev/zero: not a regular file"},
      {"status-file /no/such/file.plist\n", 1,
       "cannot read a dictionary from /no/such/file.plist: No such file or directory"},
      {"language en fr\n", 1, "language takes one"},
      {"language en,,fr\n", 1, "empty language tag"},
      {"screen 320\n", 1, "screen takes W H"},
      {"screen -1 568\n", 1, "screen size must be"},
      {"idiom watch\n", 1, "idiom takes phone, pad or none"},
      {"orientation up\n", 1, "orientation takes an integer"},
      {"lock now\n", 1, "lock takes nothing"},
      {"unlock\n", 1, "no lock-screen controller is alive"},
      {"lock\nunlock 2\n", 2, "controller 2 is not alive"},
      {"lock\nunlock 1\nunlock 1\n", 3, "controller 1 is not alive"},
      {"status A=99999999999999999999\n", 1, "A: integer out of range"},
      {malformedLine.c_str(), 1, "line 2: integer \"41x20\" is not a whole number"},
      {arrayLine.c_str(), 1, "its top level is not a dictionary"},
  };
  for (const auto& c : cases) {
    const Scenario s = parseScenario(c.text, "");
    ASSERT_TRUE(s.error.has_value()) << c.text;
    EXPECT_EQ(s.error->line, c.line) << c.text;
    EXPECT_NE(s.error->why.find(c.why), std::string::npos) << s.error->why;
    EXPECT_TRUE(s.commands.empty()) << c.text;
  }
}

TEST(Scenario, AWordThatBeginsWithHashStartsAComment) {
  const struct {
    const char* line;
    size_t commands;
    const char* value;  // of S, where the line sets it
  } cases[] = {
      {"# the whole line", 0, nullptr},
      {"   # indented", 0, nullptr},
      {"status S=a   # after a command", 1, "a"},
      {"status S=a\t#tab before it", 1, "a"},
      {"status S=a #T=2", 1, "a"},
      {"status S=a#b", 1, "a#b"},
      {"status S=\"a # b\"", 1, "a # b"},
      {"status S=\"#\" # and then a comment", 1, "#"},
      {"lock # a controller", 1, nullptr},
  };
  for (const auto& c : cases) {
    const Scenario s = parseScenario(c.line, "");
    ASSERT_FALSE(s.error.has_value()) << c.line << ": " << s.error->why;
    ASSERT_EQ(s.commands.size(), c.commands) << c.line;
    if (!c.value) continue;
    const brimwell::Plist& status = *std::get<StatusCommand>(s.commands[0]).dictionary;
    EXPECT_EQ(status.size(), 1u) << c.line;
    EXPECT_EQ(status.item("S") ? status.item("S")->text() : "(none)", c.value) << c.line;
  }
}

TEST(Scenario, CommandsAndControllerNumbers) {
  testing_support::TempDir dir;
  dir.write("status.plist", testing_support::plistXml("<key>A</key><integer>1</integer>"));
  dir.write("raw.bin", "not a plist");
  const Scenario s = parseScenario(
      "status\nstatus-file status.plist\nsettings\nsettings none\nsettings-raw raw.bin\n"
      "language\nlanguage zh-Hant,en\nscreen 375 667\nidiom none\norientation 3\n"
      "lock\nlock\nunlock\nlock\nunlock 3\n",
      dir.path());
  ASSERT_FALSE(s.error.has_value()) << s.error->why;
  ASSERT_EQ(s.commands.size(), 15u);
  EXPECT_EQ(std::get<StatusCommand>(s.commands[0]).dictionary->size(), 0u);
  EXPECT_TRUE(std::get<StatusCommand>(s.commands[1]).dictionary->item("A"));
  EXPECT_EQ(std::get<SettingsRawCommand>(s.commands[4]).bytes, "not a plist");
  EXPECT_TRUE(std::get<LanguageCommand>(s.commands[5]).languages.empty());
  EXPECT_EQ(std::get<LanguageCommand>(s.commands[6]).languages,
            (std::vector<std::string>{"zh-Hant", "en"}));
  EXPECT_EQ(std::get<ScreenCommand>(s.commands[7]).width, 375);
  EXPECT_EQ(std::get<OrientationCommand>(s.commands[9]).orientation, 3);
  EXPECT_EQ(std::get<UnlockCommand>(s.commands[12]).number, 1) << "the oldest alive";
  EXPECT_EQ(std::get<LockCommand>(s.commands[13]).number, 3);
  EXPECT_EQ(std::get<UnlockCommand>(s.commands[14]).number, 3);
}

}  // namespace
}  // namespace host
