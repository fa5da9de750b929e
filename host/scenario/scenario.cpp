#include "host/scenario/scenario.h"

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "common/dictionary_file.h"
#include "common/value_texts.h"

namespace host {
namespace {

using brimwell::Plist;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Splits on blanks, keeping "quoted" parts (with their escapes) inside one token.
bool tokenize(const std::string& line, std::vector<std::string>& tokens, std::string& why) {
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isSpace(line[i])) ++i;
    if (i >= line.size()) break;
    std::string token;
    while (i < line.size() && !isSpace(line[i])) {
      if (line[i] == '"') {
        token.push_back(line[i++]);
        bool closed = false;
        while (i < line.size()) {
          if (line[i] == '\\' && i + 1 < line.size()) {
            token.push_back(line[i++]);
          } else if (line[i] == '"') {
            closed = true;
          }
          token.push_back(line[i++]);
          if (closed) break;
        }
        if (!closed) {
          why = "unterminated quoted string";
          return false;
        }
      } else {
        token.push_back(line[i++]);
      }
    }
    tokens.push_back(token);
  }
  return true;
}

bool isInteger(const std::string& t) {
  size_t i = t[0] == '-' ? 1 : 0;
  if (i >= t.size()) return false;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
  }
  return true;
}

bool looksDecimal(const std::string& t) {
  // Digits, sign, '.', exponent: and a '.' or an exponent among them.
  bool digit = false, marker = false;
  for (char c : t) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' || c == 'e' || c == 'E') {
      marker = true;
    } else if (c != '-' && c != '+') {
      return false;
    }
  }
  return digit && marker;
}

std::string resolvePath(const std::string& path, const std::string& base) {
  if (path.empty() || path[0] == '/' || base.empty()) return path;
  return base + "/" + path;
}

bool parsePairs(const std::vector<std::string>& tokens, Plist& dictionary, std::string& why) {
  dictionary = Plist::newDictionary();
  std::set<std::string> seen;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    const size_t equals = token.find('=');
    if (equals == std::string::npos || equals == 0) {
      why = "expected KEY=VALUE, got '" + token + "'";
      return false;
    }
    const std::string key = token.substr(0, equals);
    if (!seen.insert(key).second) {
      why = "key '" + key + "' given twice";
      return false;
    }
    Plist value = parseValue(token.substr(equals + 1), why);
    if (!value) {
      why = key + ": " + why;
      return false;
    }
    dictionary.setItem(key, std::move(value));
  }
  return true;
}

}  // namespace

Plist parseValue(const std::string& text, std::string& why) {
  if (text.empty()) {
    why = "empty value (use \"\" for an empty string)";
    return Plist();
  }
  if (text == "true") return Plist::boolean(true);
  if (text == "false") return Plist::boolean(false);
  if (isInteger(text)) {
    // The range a property list holds.
    Plist value = brimwell::integerFromText(text);
    if (!value) why = "integer out of range (-2^63 to 2^64-1): " + text;
    return value;
  }
  if (text.front() == '"') {
    if (text.size() < 2 || text.back() != '"') {
      why = "text after the closing quote";
      return Plist();
    }
    std::string value;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      if (text[i] == '\\') {
        const char next = i + 2 < text.size() ? text[i + 1] : '\0';
        if (next != '"' && next != '\\') {
          why = "only \\\" and \\\\ are escapes";
          return Plist();
        }
        value.push_back(next);
        ++i;
      } else if (text[i] == '"') {
        why = "text after the closing quote";
        return Plist();
      } else {
        value.push_back(text[i]);
      }
    }
    return Plist::string(std::move(value));
  }
  if (looksDecimal(text)) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() + text.size()) return Plist::real(value);
  }
  return Plist::string(text);
}

Scenario parseScenario(const std::string& text, const std::string& baseFolder) {
  Scenario scenario;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  int controllersMade = 0;
  std::set<int> alive;

  auto fail = [&](std::string why) {
    scenario.commands.clear();
    scenario.error = ParseError{number, std::move(why)};
    return scenario;
  };

  while (std::getline(lines, line)) {
    ++number;
    std::vector<std::string> tokens;
    std::string why;
    if (!tokenize(line, tokens, why)) return fail(why);
    if (tokens.empty() || tokens[0][0] == '#') continue;
    const std::string& verb = tokens[0];
    const size_t args = tokens.size() - 1;

    if (verb == "status") {
      Plist dictionary;
      if (!parsePairs(tokens, dictionary, why)) return fail(why);
      scenario.commands.push_back(StatusCommand{std::make_shared<Plist>(std::move(dictionary))});
    } else if (verb == "status-file") {
      if (args != 1) return fail("status-file takes one PATH");
      const std::string path = resolvePath(tokens[1], baseFolder);
      std::string cause;
      Plist dictionary = brimwell::readDictionaryFile(path, &cause);
      if (!dictionary) return fail("cannot read a dictionary from " + path + ": " + cause);
      scenario.commands.push_back(StatusCommand{std::make_shared<Plist>(std::move(dictionary))});
    } else if (verb == "settings") {
      if (args == 1 && tokens[1] == "none") {
        scenario.commands.push_back(SettingsNoneCommand{});
        continue;
      }
      Plist dictionary;
      if (!parsePairs(tokens, dictionary, why)) return fail(why);
      scenario.commands.push_back(SettingsCommand{std::make_shared<Plist>(std::move(dictionary))});
    } else if (verb == "settings-raw") {
      if (args != 1) return fail("settings-raw takes one PATH");
      const std::string path = resolvePath(tokens[1], baseFolder);
      // Only a regular file, and no more than a status file may hold: a device node or a FIFO
      // named in a scenario must not hang the host.
      std::string cause;
      std::optional<std::string> bytes = brimwell::readSmallRegularFile(path, &cause);
      if (!bytes) return fail("cannot read " + path + ": " + cause);
      scenario.commands.push_back(SettingsRawCommand{std::move(*bytes)});
    } else if (verb == "language") {
      if (args > 1) return fail("language takes one comma-separated list, without blanks");
      LanguageCommand command;
      if (args == 1) {
        std::istringstream tags(tokens[1]);
        for (std::string tag; std::getline(tags, tag, ',');) {
          if (tag.empty()) return fail("empty language tag in '" + tokens[1] + "'");
          command.languages.push_back(tag);
        }
      }
      scenario.commands.push_back(std::move(command));
    } else if (verb == "screen") {
      if (args != 2) return fail("screen takes W H");
      ScreenCommand command{};
      for (int k = 0; k < 2; ++k) {
        char* end = nullptr;
        const double v = std::strtod(tokens[1 + k].c_str(), &end);
        if (end == tokens[1 + k].c_str() || *end || !(v >= 0) || v > 1e6) {
          return fail("screen size must be a number from 0 to 1000000: '" + tokens[1 + k] + "'");
        }
        (k == 0 ? command.width : command.height) = v;
      }
      scenario.commands.push_back(command);
    } else if (verb == "idiom") {
      if (args != 1 || (tokens[1] != "phone" && tokens[1] != "pad" && tokens[1] != "none")) {
        return fail("idiom takes phone, pad or none");
      }
      scenario.commands.push_back(IdiomCommand{tokens[1]});
    } else if (verb == "orientation") {
      if (args != 1 || !isInteger(tokens[1]) || tokens[1].size() > 10) {
        return fail("orientation takes an integer");
      }
      scenario.commands.push_back(OrientationCommand{std::strtol(tokens[1].c_str(), nullptr, 10)});
    } else if (verb == "lock") {
      if (args != 0) return fail("lock takes nothing");
      alive.insert(++controllersMade);
      scenario.commands.push_back(LockCommand{controllersMade});
    } else if (verb == "unlock") {
      if (args > 1) return fail("unlock takes at most one controller number");
      int target;
      if (args == 0) {
        if (alive.empty()) return fail("no lock-screen controller is alive");
        target = *alive.begin();
      } else {
        if (!isInteger(tokens[1]) || tokens[1][0] == '-' || tokens[1].size() > 9) {
          return fail("unlock takes a controller number");
        }
        target = std::atoi(tokens[1].c_str());
        if (!alive.count(target)) return fail("controller " + tokens[1] + " is not alive");
      }
      alive.erase(target);
      scenario.commands.push_back(UnlockCommand{target});
    } else {
      return fail("unknown command '" + verb + "'");
    }
  }
  return scenario;
}

}  // namespace host
