#include "host/scenario.h"

#include <gtest/gtest.h>

#include "common/value_conversions.h"
#include "tests/support/temp_dir.h"

namespace host {
namespace {

TEST(ScenarioValue, Kinds) {
  const struct {
    const char* text;
    plist_type type;
    const char* asText;
  } cases[] = {
      {"true", PLIST_BOOLEAN, "1"},     {"false", PLIST_BOOLEAN, "0"},
      {"1750", PLIST_UINT, "1750"},     {"-523", PLIST_UINT, "-523"},
      {"3.5", PLIST_REAL, "3.5"},       {"-1e3", PLIST_REAL, "-1000"},
      {".5", PLIST_REAL, "0.5"},        {"\"a b\"", PLIST_STRING, "a b"},
      {"\"\"", PLIST_STRING, ""},       {"\"q\\\"\\\\\"", PLIST_STRING, "q\"\\"},
      {"A1B2", PLIST_STRING, "A1B2"},   {"TRUE", PLIST_STRING, "TRUE"},
      {"1.2.3", PLIST_STRING, "1.2.3"}, {"-", PLIST_STRING, "-"},
      {"e", PLIST_STRING, "e"},         {"9223372036854775807", PLIST_UINT, "9223372036854775807"},
  };
  for (const auto& c : cases) {
    std::string why;
    const brimwell::Plist value = parseValue(c.text, why);
    ASSERT_TRUE(value) << c.text << ": " << why;
    EXPECT_EQ(plist_get_node_type(value.get()), c.type) << c.text;
    EXPECT_EQ(brimwell::textOf(value.get()), c.asText) << c.text;
  }
  std::string why;
  EXPECT_FALSE(parseValue("99999999999999999999", why));
  EXPECT_FALSE(parseValue("", why));
  EXPECT_FALSE(parseValue("\"a\"b", why));
  EXPECT_FALSE(parseValue("\"\\n\"", why));
}

TEST(Scenario, BadLinesNameTheLineAndRunNothing) {
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
      {"settings-raw /dev/zero\n", 1, "cannot read /dev/zero (a regular file up to 1 MiB)"},
      {"status-file /no/such/file.plist\n", 1, "cannot read a dictionary"},
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
  };
  for (const auto& c : cases) {
    const Scenario s = parseScenario(c.text, "");
    ASSERT_TRUE(s.error.has_value()) << c.text;
    EXPECT_EQ(s.error->line, c.line) << c.text;
    EXPECT_NE(s.error->why.find(c.why), std::string::npos) << s.error->why;
    EXPECT_TRUE(s.commands.empty()) << c.text;
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
  EXPECT_EQ(plist_dict_get_size(std::get<StatusCommand>(s.commands[0]).dictionary->get()), 0u);
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
