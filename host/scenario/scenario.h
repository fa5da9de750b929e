#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/plist.h"

// A scenario for the host: one command a line, parsed whole before anything runs, so that a
// bad line changes nothing.
namespace host {

struct StatusCommand {
  std::shared_ptr<brimwell::Plist> dictionary;  // exactly the keys given, or read from a file
};
struct SettingsCommand {
  std::shared_ptr<brimwell::Plist> dictionary;  // replaces the settings file
};
struct SettingsNoneCommand {};
struct SettingsRawCommand {
  std::string bytes;  // copied into the settings file as they are
};
struct LanguageCommand {
  std::vector<std::string> languages;
};
struct ScreenCommand {
  double width, height;
};
struct IdiomCommand {
  std::string idiom;  // phone, pad or none
};
struct OrientationCommand {
  long orientation;
};
struct LockCommand {
  int number;
};
struct UnlockCommand {
  int number;
};

using Command = std::variant<StatusCommand, SettingsCommand, SettingsNoneCommand,
                             SettingsRawCommand, LanguageCommand, ScreenCommand, IdiomCommand,
                             OrientationCommand, LockCommand, UnlockCommand>;

struct ParseError {
  int line;
  std::string why;
};

struct Scenario {
  std::vector<Command> commands;
  std::optional<ParseError> error;
};

// Relative paths in status-file and settings-raw lines are taken from baseFolder.
Scenario parseScenario(const std::string& text, const std::string& baseFolder);

// One K=V value: true/false, -?[0-9]+ integers, decimals with '.' or an exponent, "quoted"
// strings with \" and \\, any other word a string. Null with why set on a bad value.
brimwell::Plist parseValue(const std::string& text, std::string& why);

}  // namespace host
