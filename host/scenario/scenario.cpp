#include "host/scenario/scenario.h"

#include <algorithm>
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

// Splits on blanks, keeping "quoted" parts (with their escapes) inside one token. A word that
// begins with '#' starts a comment to the end of the line; a '#' inside a word or quotes is text.
bool tokenize(const std::string& line, std::vector<std::string>& tokens, std::string& why) {
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isSpace(line[i])) ++i;
    if (i >= line.size() || line[i] == '#') break;
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

namespace {

// What the verbs of one scenario share while it is parsed.
struct ParseState {
  std::string baseFolder;
  std::vector<Command> commands;
  int controllersMade = 0;
  std::set<int> alive;  // controllers made and not yet unlocked
};

using Tokens = std::vector<std::string>;
// Adds the line's command; false with why set on a bad line.
using VerbParser = bool (*)(const Tokens& tokens, ParseState& state, std::string& why);

bool failWith(std::string& why, std::string text) {
  why = std::move(text);
  return false;
}

bool parseStatus(const Tokens& tokens, ParseState& state, std::string& why) {
  Plist dictionary;
  if (!parsePairs(tokens, dictionary, why)) return false;
  state.commands.push_back(StatusCommand{std::make_shared<Plist>(std::move(dictionary))});
  return true;
}

bool parseStatusFile(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() != 2) return failWith(why, "status-file takes one PATH");
  const std::string path = resolvePath(tokens[1], state.baseFolder);
  std::string cause;
  Plist dictionary = brimwell::readDictionaryFile(path, &cause);
  if (!dictionary) return failWith(why, "cannot read a dictionary from " + path + ": " + cause);
  state.commands.push_back(StatusCommand{std::make_shared<Plist>(std::move(dictionary))});
  return true;
}

bool parseSettings(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() == 2 && tokens[1] == "none") {
    state.commands.push_back(SettingsNoneCommand{});
    return true;
  }
  Plist dictionary;
  if (!parsePairs(tokens, dictionary, why)) return false;
  state.commands.push_back(SettingsCommand{std::make_shared<Plist>(std::move(dictionary))});
  return true;
}

bool parseSettingsRaw(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() != 2) return failWith(why, "settings-raw takes one PATH");
  const std::string path = resolvePath(tokens[1], state.baseFolder);
  // Only a regular file, and no more than a status file may hold: a device node or a FIFO
  // named in a scenario must not hang the host.
  std::string cause;
  std::optional<std::string> bytes = brimwell::readSmallRegularFile(path, &cause);
  if (!bytes) return failWith(why, "cannot read " + path + ": " + cause);
  state.commands.push_back(SettingsRawCommand{std::move(*bytes)});
  return true;
}

bool parseLanguage(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() > 2) {
    return failWith(why, "language takes one comma-separated list, without blanks");
  }
  LanguageCommand command;
  if (tokens.size() == 2) {
    std::istringstream tags(tokens[1]);
    for (std::string tag; std::getline(tags, tag, ',');) {
      if (tag.empty()) return failWith(why, "empty language tag in '" + tokens[1] + "'");
      command.languages.push_back(tag);
    }
  }
  state.commands.push_back(std::move(command));
  return true;
}

bool parseScreen(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() != 3) return failWith(why, "screen takes W H");
  double size[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    const std::string& text = tokens[1 + static_cast<size_t>(k)];
    char* end = nullptr;
    size[k] = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end || !(size[k] >= 0) || size[k] > 1e6) {
      return failWith(why, "screen size must be a number from 0 to 1000000: '" + text + "'");
    }
  }
  state.commands.push_back(ScreenCommand{size[0], size[1]});
  return true;
}

bool parseIdiom(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() != 2 || (tokens[1] != "phone" && tokens[1] != "pad" && tokens[1] != "none")) {
    return failWith(why, "idiom takes phone, pad or none");
  }
  state.commands.push_back(IdiomCommand{tokens[1]});
  return true;
}

bool parseOrientation(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() != 2 || !isInteger(tokens[1]) || tokens[1].size() > 10) {
    return failWith(why, "orientation takes an integer");
  }
  state.commands.push_back(OrientationCommand{std::strtol(tokens[1].c_str(), nullptr, 10)});
  return true;
}

bool parseLock(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() != 1) return failWith(why, "lock takes nothing");
  state.alive.insert(++state.controllersMade);
  state.commands.push_back(LockCommand{state.controllersMade});
  return true;
}

bool parseUnlock(const Tokens& tokens, ParseState& state, std::string& why) {
  if (tokens.size() > 2) return failWith(why, "unlock takes at most one controller number");
  int target;
  if (tokens.size() == 1) {
    if (state.alive.empty()) return failWith(why, "no lock-screen controller is alive");
    target = *state.alive.begin();
  } else {
    if (!isInteger(tokens[1]) || tokens[1][0] == '-' || tokens[1].size() > 9) {
      return failWith(why, "unlock takes a controller number");
    }
    target = std::atoi(tokens[1].c_str());
    if (!state.alive.count(target)) {
      return failWith(why, "controller " + tokens[1] + " is not alive");
    }
  }
  state.alive.erase(target);
  state.commands.push_back(UnlockCommand{target});
  return true;
}

const struct {
  const char* verb;
  VerbParser parse;
} kVerbs[] = {
    {"status", parseStatus},     {"status-file", parseStatusFile},
    {"settings", parseSettings}, {"settings-raw", parseSettingsRaw},
    {"language", parseLanguage}, {"screen", parseScreen},
    {"idiom", parseIdiom},       {"orientation", parseOrientation},
    {"lock", parseLock},         {"unlock", parseUnlock},
};

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& baseFolder) {
  ParseState state;
  state.baseFolder = baseFolder;
  std::istringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    Tokens tokens;
    std::string why;
    bool ok = tokenize(line, tokens, why);
    if (ok && !tokens.empty()) {
      const auto verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                     [&](const auto& v) { return tokens[0] == v.verb; });
      ok = verb == std::end(kVerbs) ? failWith(why, "unknown command '" + tokens[0] + "'")
                                    : verb->parse(tokens, state, why);
    }
    if (!ok) {
      Scenario failed;
      failed.error = ParseError{number, why};
      return failed;
    }
  }
  Scenario scenario;
  scenario.commands = std::move(state.commands);
  return scenario;
}

}  // namespace host
