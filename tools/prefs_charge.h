#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The machine's charge limits, which the root charge service keeps: what brimwell-prefs asks of
// it and what it says of each answer. Never in the settings file.
namespace prefs {

inline constexpr const char* kChargeLimit = "chargeLimit";
inline constexpr const char* kChargeStart = "chargeStart";
inline constexpr const char* kChargeFullOnce = "charge-full-once";

// One call to the service.
struct ChargeCall {
  enum class Method { getLimits, setLimits, chargeFullOnce };
  Method method = Method::getLimits;
  std::string battery;  // "" every battery
  uint32_t end = 0;     // 0 leaves it as it is
  uint32_t start = 0;
};

// A charge command line: set or get chargeLimit/chargeStart, or charge-full-once.
struct ChargeCommand {
  std::string command;  // "set", "get" or "charge-full-once"
  std::string key;      // chargeLimit or chargeStart; empty for charge-full-once
  ChargeCall call;
};

// Whether the arguments (after the program's name) are for the charge service.
bool isChargeCommand(const std::vector<std::string>& args);
// The command, or none with why when the arguments do not make one.
std::optional<ChargeCommand> parseChargeCommand(const std::vector<std::string>& args,
                                                std::string& why);

// One battery as the service lists it.
struct BatteryLimits {
  std::string name;
  bool hasEnd = false;
  uint32_t end = 0;
  bool hasStart = false;
  uint32_t start = 0;
  bool fullOnce = false;
};

// What came of a call.
struct ChargeAnswer {
  enum class Kind { reply, error, noBus, timedOut };
  Kind kind = Kind::reply;
  std::string errorName;              // for an error
  std::string message;                // the error's, or why there is no bus
  std::vector<BatteryLimits> limits;  // GetLimits' reply
};

// An outcome for the user: the exit status and one line, without the program's name.
struct ChargeOutcome {
  int status = 0;
  std::string line;
};

// What to say of a call that did not succeed.
ChargeOutcome failureOf(const ChargeCommand& command, const ChargeAnswer& answer,
                        double boundSeconds);
// What a change did, from the limits read after it (none when they could not be read).
std::string doneLine(const ChargeCommand& command, const std::optional<ChargeAnswer>& after);
// get's answer: the value on stdout (status 0), or a refusal.
ChargeOutcome gottenValue(const ChargeCommand& command, const ChargeAnswer& answer);
// The listing's lines: a heading and one line a battery, or why the limits could not be read.
std::vector<std::string> describeChargeLimits(const ChargeAnswer& answer);

// The whole command: the call, then for a change the limits read back; one line on every outcome.
using ChargeCaller = std::function<ChargeAnswer(const ChargeCall&, double boundSeconds)>;
int runChargeCommand(const ChargeCommand& command, const ChargeCaller& call, std::ostream& out,
                     std::ostream& err);

// Longer than the service gives polkit (25 s), which may be asking for a password meanwhile.
inline constexpr double kChangeBoundSeconds = 40;
// Reading needs no authorization; a listing should not hang on a stuck bus.
inline constexpr double kReadBoundSeconds = 10;

}  // namespace prefs
