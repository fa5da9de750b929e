#include "tools/prefs_charge.h"

#include <algorithm>
#include <cmath>

#include "charge/charge_bus.h"
#include "charge/charge_request.h"
#include "tools/prefs_settings.h"

namespace prefs {
namespace {

using Method = ChargeCall::Method;
// A value with the battery it is of.
using Values = std::vector<std::pair<uint32_t, std::string>>;

bool isChargeKey(const std::string& key) {
  return key == kChargeLimit || key == kChargeStart;
}

// Takes `--battery NAME` out of the arguments; false, with why, when it does not name one.
bool takeBattery(std::vector<std::string>& args, std::string& battery, std::string& why) {
  bool given = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] != "--battery") {
      ++i;
      continue;
    }
    if (given) {
      why = "--battery is given twice";
      return false;
    }
    if (i + 1 == args.size()) {
      why = "--battery takes a battery's name, such as BAT0";
      return false;
    }
    battery = args[i + 1];
    // The service refuses such a name too; said here in the shape of every other typo.
    if (!brimwell::charge::isBatteryName(battery)) {
      why = "--battery takes a battery's name as the kernel gives it, such as BAT0, not '" +
            battery + "'";
      return false;
    }
    given = true;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
  }
  return true;
}

// The key's value from `set KEY VALUE`, in the request; false, with why, when it is no percent.
bool takeValue(const std::vector<std::string>& args, ChargeCommand& c, std::string& why) {
  if (args.size() != 3) {
    why = "set takes KEY VALUE";
    return false;
  }
  const auto n = parseInteger(args[2]);
  const int most = c.key == kChargeLimit ? 100 : 99;  // charging starts again below a limit
  if (!n || *n < 1 || *n > most) {
    why = c.key + " takes a whole number from 1 to " + std::to_string(most) + ", not '" + args[2] +
          "' (see --help)";
    return false;
  }
  c.call.method = Method::setLimits;
  (c.key == kChargeLimit ? c.call.end : c.call.start) = static_cast<uint32_t>(*n);
  return true;
}

// A text from the bus as one line of ours.
std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return line;
}

std::string secondsText(double seconds) {
  return std::to_string(std::lround(seconds)) + " seconds";
}

// Each of the service's own errors, and what to say when it gave no message.
std::string ownErrorFallback(const ChargeCommand& c, const std::string& name) {
  namespace charge = brimwell::charge;
  if (name == charge::kErrorNotAuthorized) return "not authorized to change the charge limits";
  if (name == charge::kErrorNoSuchBattery) return "no battery named " + c.call.battery;
  if (name == charge::kErrorRefused) return "the battery's driver refused the value";
  if (name == charge::kErrorNoLimit) return "this machine offers no charge limit";
  if (name == charge::kErrorInvalidArgs) return "the charge service refused the value";
  return "";
}

// The bus's own error: what it said, and the error's name.
std::string busError(const std::string& said, const std::string& name) {
  return said.empty() ? name : said + " (" + name + ")";
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// No service file names the service (dbus-daemon), or no service is there to start: dbus-broker
// answers a name it could not start NameHasNoOwner too, and then says what failed.
bool notInstalled(const std::string& name, const std::string& said) {
  return name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
         name == "org.freedesktop.DBus.Error.Spawn.ServiceNotFound" ||
         (name == "org.freedesktop.DBus.Error.NameHasNoOwner" &&
          said.find("activat") == std::string::npos);
}

// The bus tried to start the service and could not: the program failed or exited, its unit
// failed or is masked, or it did not take its name in time.
bool startFailed(const std::string& name) {
  return startsWith(name, "org.freedesktop.DBus.Error.Spawn.") ||
         startsWith(name, "org.freedesktop.systemd1.") ||
         name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
         name == "org.freedesktop.DBus.Error.TimedOut";
}

std::string errorLine(const ChargeCommand& c, const ChargeAnswer& a) {
  const std::string said = firstLine(a.message);
  const std::string& name = a.errorName;
  const std::string journal = "; see journalctl -u brimwell-charge";
  if (notInstalled(name, said)) {
    return std::string("the charge service (") + brimwell::charge::kBusName +
           ") is not installed: install the brimwell package, which brings brimwell-charge";
  }
  if (startFailed(name))
    return "the system bus could not start the charge service: " + busError(said, name) + journal;
  // The service went away without answering, or sd-bus gave up on the call.
  if (name == "org.freedesktop.DBus.Error.NoReply")
    return "the charge service did not answer: " + busError(said, name) + journal;
  if (name == "org.freedesktop.DBus.Error.AccessDenied")
    return "the system bus refused the call to the charge service: " + busError(said, name);
  // Every battery at once: the service's no is the machine's.
  if (name == brimwell::charge::kErrorNoLimit && c.call.battery.empty() && c.key != kChargeStart)
    return "this machine offers no charge limit";
  const std::string fallback = ownErrorFallback(c, name);
  if (!said.empty()) return said;
  return fallback.empty() ? "the charge service answered " + name : fallback;
}

// "80 % (BAT0, BAT1)" or "80 % (BAT0), 75 % (BAT1)": each value once, with its batteries.
std::string valuesText(const Values& values) {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i) {
    const bool sameAsBefore = i > 0 && values[i].first == values[i - 1].first;
    if (sameAsBefore) {
      text.insert(text.size() - 1, ", " + values[i].second);
      continue;
    }
    text += (i > 0 ? ", " : "") + std::to_string(values[i].first) + " % (" + values[i].second + ")";
  }
  return text;
}

// The batteries the command is about, with the value it concerns.
Values concerned(const ChargeCommand& c, const std::vector<BatteryLimits>& all) {
  Values values;
  for (const BatteryLimits& b : all) {
    if (!c.call.battery.empty() && b.name != c.call.battery) continue;
    if (c.call.method == Method::chargeFullOnce ? b.fullOnce
                                                : (c.key == kChargeLimit ? b.hasEnd : b.hasStart))
      values.emplace_back(c.key == kChargeStart ? b.start : b.end, b.name);
  }
  return values;
}

}  // namespace

bool isChargeCommand(const std::vector<std::string>& args) {
  if (args.empty()) return false;
  if (args[0] == "--battery" || args[0] == kChargeFullOnce) return true;
  return (args[0] == "set" || args[0] == "get" || args[0] == "unset") && args.size() > 1 &&
         isChargeKey(args[1]);
}

std::optional<ChargeCommand> parseChargeCommand(const std::vector<std::string>& given,
                                                std::string& why) {
  std::vector<std::string> args = given;
  ChargeCommand c;
  if (!takeBattery(args, c.call.battery, why)) return std::nullopt;
  if (!isChargeCommand(args) || args[0] == "--battery") {
    why = "--battery goes with set or get chargeLimit or chargeStart, or charge-full-once";
    return std::nullopt;
  }
  c.command = args[0];
  if (c.command == kChargeFullOnce) {
    c.call.method = Method::chargeFullOnce;
    if (args.size() == 1) return c;
    why = "charge-full-once takes nothing but --battery NAME";
    return std::nullopt;
  }
  c.key = args[1];
  if (c.command == "unset") {
    why = c.key + " cannot be unset: the charge service keeps it (chargeLimit 100 charges to full)";
    return std::nullopt;
  }
  if (c.command == "get") {
    if (args.size() == 2) return c;
    why = "get takes KEY";
    return std::nullopt;
  }
  if (!takeValue(args, c, why)) return std::nullopt;
  return c;
}

ChargeOutcome failureOf(const ChargeCommand& c, const ChargeAnswer& a, double boundSeconds) {
  switch (a.kind) {
    case ChargeAnswer::Kind::noBus:
      return {1, "cannot reach the system bus (" + firstLine(a.message) +
                     "): check that dbus is running"};
    case ChargeAnswer::Kind::timedOut:
      return {1, "the charge service did not answer within " + secondsText(boundSeconds)};
    case ChargeAnswer::Kind::error:
      return {1, errorLine(c, a)};
    case ChargeAnswer::Kind::reply:
      break;
  }
  return {0, ""};
}

std::string doneLine(const ChargeCommand& c, const std::optional<ChargeAnswer>& after) {
  const Values values = after ? concerned(c, after->limits) : Values{};
  if (c.call.method == Method::chargeFullOnce) {
    if (after && values.empty()) return "nothing to lift: the charge limit is already 100 %";
    std::string names;
    for (const auto& v : values) names += (names.empty() ? " (" : ", ") + v.second;
    return "charging to full once" + names + (names.empty() ? "" : ")") +
           ": the limit comes back when external power goes";
  }
  const std::string what = c.key == kChargeLimit ? "charge limit set to "
                                                 : "charging starts again "
                                                   "below ";
  if (values.empty()) return what + std::to_string(c.call.end + c.call.start) + " %";
  Values starts;  // a limit set under the start takes the start down with it: said, not hidden
  for (const BatteryLimits& b : after->limits) {
    const bool chosen = c.call.battery.empty() || b.name == c.call.battery;
    // Just below the limit is where the service takes a start the limit went under.
    if (c.key == kChargeLimit && chosen && b.hasEnd && b.hasStart && b.start + 1 == b.end) {
      starts.emplace_back(b.start, b.name);
    }
  }
  return what + valuesText(values) +
         (starts.empty() ? "" : "; charging starts again below " + valuesText(starts));
}

ChargeOutcome gottenValue(const ChargeCommand& c, const ChargeAnswer& a) {
  if (a.kind != ChargeAnswer::Kind::reply) return failureOf(c, a, kReadBoundSeconds);
  const bool named = std::any_of(a.limits.begin(), a.limits.end(),
                                 [&](const BatteryLimits& b) { return b.name == c.call.battery; });
  if (!c.call.battery.empty() && !named) return {1, "no battery named " + c.call.battery};
  const auto values = concerned(c, a.limits);
  const std::string offers = c.key == kChargeLimit ? "charge limit" : "start threshold";
  if (values.empty()) {
    return {1, (c.call.battery.empty() ? "this machine" : c.call.battery) + " offers no " + offers};
  }
  std::string line;
  for (const auto& [value, name] : values) {
    const bool once = c.key == kChargeLimit &&
                      std::any_of(a.limits.begin(), a.limits.end(), [&](const BatteryLimits& b) {
                        return b.name == name && b.fullOnce;
                      });
    line += (line.empty() ? "" : ", ") + std::to_string(value) + " (" + name +
            (once ? ", full once until external power goes)" : ")");
  }
  return {0, line};
}

std::vector<std::string> describeChargeLimits(const ChargeAnswer& a) {
  std::vector<std::string> lines = {"Charge limits, kept by the charge service:"};
  if (a.kind != ChargeAnswer::Kind::reply) {
    // Folded between words, never inside the command it names.
    constexpr char kBound = '\x1f';
    const std::string command = "journalctl -u brimwell-charge";
    std::string why = failureOf({}, a, kReadBoundSeconds).line;
    if (const size_t at = why.find(command); at != std::string::npos)
      std::replace(why.begin() + static_cast<std::ptrdiff_t>(at),
                   why.begin() + static_cast<std::ptrdiff_t>(at + command.size()), ' ', kBound);
    for (std::string& line : folded("  not read: ", why, 4)) {
      std::replace(line.begin(), line.end(), kBound, ' ');
      lines.push_back(std::move(line));
    }
    return lines;
  }
  for (const BatteryLimits& b : a.limits) {
    std::string line = "  " + b.name + ": ";
    line += b.hasEnd ? "chargeLimit " + std::to_string(b.end) + " %" : "no charge limit";
    if (b.hasStart) line += ", chargeStart " + std::to_string(b.start) + " %";
    if (b.fullOnce) line += ", full once until external power goes";
    lines.push_back(line);
  }
  if (lines.size() == 1) lines.push_back("  this machine offers no charge limit");
  return lines;
}

int runChargeCommand(const ChargeCommand& c, const ChargeCaller& call, std::ostream& out,
                     std::ostream& err) {
  const bool reading = c.call.method == Method::getLimits;
  const ChargeAnswer answer = call(c.call, reading ? kReadBoundSeconds : kChangeBoundSeconds);
  const ChargeOutcome outcome =
      reading ? gottenValue(c, answer) : failureOf(c, answer, kChangeBoundSeconds);
  if (reading && outcome.status == 0) {
    out << outcome.line << "\n";
    return 0;
  }
  // Done all the same: said as done, and that it holds until the next boot only.
  const bool notKept = answer.kind == ChargeAnswer::Kind::error &&
                       answer.errorName == brimwell::charge::kErrorNotKept;
  if (outcome.status != 0 && !notKept) {
    err << "brimwell-prefs: " << outcome.line << "\n";
    return outcome.status;
  }
  std::optional<ChargeAnswer> after = call(ChargeCall{}, kReadBoundSeconds);
  if (after->kind != ChargeAnswer::Kind::reply) after.reset();
  out << "brimwell-prefs: " << doneLine(c, after) << "\n";
  if (notKept) err << "brimwell-prefs: " << outcome.line << "\n";
  return outcome.status;
}

}  // namespace prefs
