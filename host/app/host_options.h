#pragma once

#include <getopt.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace host {

struct HostOptions {
  std::string script;           // --script FILE: run a scenario instead of a source
  std::string replay;           // --source replay=FILE
  std::string sysfs;            // --source sysfs[=DIR]
  std::optional<double> speed;  // --speed N (sim: 60, replay: 1)
  // --poll SECONDS: a fixed interval for the sysfs source; without it, when the next percent is
  // due at the steady rate.
  std::optional<double> pollSeconds;
  // --charge-state DIR: where the charge service keeps the limits (the sysfs source's default).
  std::optional<std::string> chargeState;
  double startPercent = 45;    // --start PERCENT
  bool charger = true;         // --charger on|off
  uint32_t seed = 1;           // --seed N
  double duration = 0;         // --duration SECONDS of simulated time; 0: no end
  bool virtualTime = false;    // --virtual-time: headless, without waiting
  bool headless = false;       // --headless: no screen even on a terminal
  bool logStatus = false;      // --log-status: a line for every status change
  bool desktopAlerts = false;  // --desktop-alerts: mirror alerts to the desktop when headless
  bool history = false;        // --history: keep the battery's history (always for sysfs)
  bool laptopService = false;  // brimwelld: the alerts as a laptop's lines, not a phone's
  std::string record;          // --record FILE
  bool help = false;
  bool version = false;  // --version

  double effectiveSpeed() const {
    return speed.value_or(replay.empty() && sysfs.empty() ? 60.0 : 1.0);
  }
};

// False with why set on a bad command line.
bool parseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& why);

extern const char* const kHostUsage;

// A number within [low, high], the whole text of it and finite.
bool parseNumber(const std::string& text, double low, double high, double& out);
// A number option within [low, high]; why names the option and what it takes.
bool numberOption(const std::string& v, double low, double high, const char* takes, double& out,
                  std::string& why);

// --charge-state DIR, for both programs; false with why set on an empty folder name.
bool chargeStateOption(const std::string& v, HostOptions& o, std::string& why);

// Hands each option of argv that table names to apply, with its value; false with why set on an
// unknown option, a missing value, an operand, or a value apply refuses (and explains).
bool readOptions(int argc, const char* const* argv, const option* table,
                 const std::function<bool(int, const std::string&)>& apply, std::string& why);

}  // namespace host
