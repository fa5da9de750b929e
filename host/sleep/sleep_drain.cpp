#include "host/sleep/sleep_drain.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "history/sleep_duration.h"

namespace host::sleep {

namespace {

constexpr double kShortestAlerted = 30 * 60;  // s: a shorter sleep tells too little
// Percent: a single step of a driver's whole percent may be its rounding, not a drain.
constexpr double kFewestAlerted = 2;

std::string trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\n");
  if (first == std::string_view::npos) return "";
  const size_t last = text.find_last_not_of(" \t\n");
  return std::string(text.substr(first, last - first + 1));
}

std::string fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  // Never "-0.00": a figure that rounds to none has no sign.
  const std::string said = text;
  if (said[0] == '-' && said.find_first_not_of("-0.") == std::string::npos) return said.substr(1);
  return said;
}

std::string wholePercent(double percent) {
  return std::to_string(std::lround(percent));
}

}  // namespace

SleepRecord measureSleep(const SleepEnd& before, const SleepEnd& after, KernelSleep kernel) {
  SleepRecord r;
  r.start = before.time;
  r.end = after.time;
  r.levelBefore = before.level;
  r.levelAfter = after.level;
  r.state = std::move(kernel.state);
  r.hwSleepSeconds = kernel.hwSleepSeconds;
  r.wakeup = std::move(kernel.wakeup);
  r.externalPower = before.externalPower || after.externalPower;
  if (before.energyWh && after.energyWh) r.energyLostWh = *before.energyWh - *after.energyWh;
  if (secondsAsleep(r) < history::kShortestMeasuredSleep) return r;
  const double hours = secondsAsleep(r) / 3600;
  r.percentPerHour = percentLost(r) / hours;
  if (r.energyLostWh) r.meanMilliwatts = *r.energyLostWh / hours * 1000;
  return r;
}

std::string chosenMemSleep(std::string_view memSleep) {
  const size_t open = memSleep.find('['), close = memSleep.find(']');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return "";
  return trimmed(memSleep.substr(open + 1, close - open - 1));
}

std::optional<double> hwSleepSeconds(std::string_view lastHwSleep) {
  const std::string text = trimmed(lastHwSleep);
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long micro = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || text[0] == '-' || errno == ERANGE) return std::nullopt;
  return static_cast<double>(micro) / 1e6;
}

std::optional<std::string> wakeupIrq(std::string_view pmWakeupIrq) {
  const std::string text = trimmed(pmWakeupIrq);
  if (text.empty()) return std::nullopt;
  return "irq " + text;
}

std::optional<unsigned long> suspendCount(std::string_view file) {
  const std::string text = trimmed(file);
  if (text.empty() || text[0] == '-') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long count = std::strtoul(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) return std::nullopt;
  return count;
}

KernelSleep kernelSleepFrom(std::string_view memSleep, std::string_view lastHwSleep,
                            std::string_view pmWakeupIrq, const SuspendCounts& before,
                            const SuspendCounts& after) {
  const auto rose = [](const std::optional<unsigned long>& from,
                       const std::optional<unsigned long>& to) {
    return from && to && *to > *from;
  };
  if (before.succeeded && after.succeeded && *after.succeeded == *before.succeeded) {
    if (rose(before.failed, after.failed)) return {"", std::nullopt, std::nullopt};
    return {"hibernate", std::nullopt, std::nullopt};
  }
  return {chosenMemSleep(memSleep), hwSleepSeconds(lastHwSleep), wakeupIrq(pmWakeupIrq)};
}

std::string sleepLine(const SleepRecord& r) {
  const std::string state = r.state.empty() ? "" : ", " + r.state;
  if (r.externalPower) {
    return "sleep " + history::sleepDuration(secondsAsleep(r)) + " on external power" +
           (state.empty() ? "" : " (" + r.state + ")");
  }
  // A battery that gained (a charger the kernel does not count as external power) says so; where
  // the level did not move, its energy tells.
  const bool gained = percentLost(r) < 0 || (percentLost(r) == 0 && r.energyLostWh.value_or(0) < 0);
  const double sign = gained ? -1 : 1;
  const std::string power =
      r.meanMilliwatts ? ", " + fixed(sign * *r.meanMilliwatts, 0) + " mW" : "";
  const std::string figures =
      r.percentPerHour ? " (" + fixed(sign * *r.percentPerHour, 2) + " %/h" + power + state + ")"
                       : (state.empty() ? "" : " (" + r.state + ")");
  return std::string(sign < 0 ? "sleep gained " : "sleep lost ") +
         wholePercent(sign * percentLost(r)) + "% in " + history::sleepDuration(secondsAsleep(r)) +
         figures;
}

std::optional<std::string> sleepNotice(const SleepRecord& r, double alertPercentPerHour) {
  if (alertPercentPerHour <= 0 || r.externalPower || secondsAsleep(r) < kShortestAlerted ||
      percentLost(r) < kFewestAlerted || !(r.percentPerHour.value_or(0) > alertPercentPerHour))
    return std::nullopt;
  const double hours = secondsAsleep(r) / 3600;
  const std::string asleep = hours < 1 ? history::sleepDuration(secondsAsleep(r))
                                       : std::to_string(std::lround(hours)) + " h";
  const std::string power = r.meanMilliwatts ? ", " + fixed(*r.meanMilliwatts, 0) + " mW" : "";
  return "Lost " + wholePercent(percentLost(r)) + " % in " + asleep + " asleep (" +
         fixed(*r.percentPerHour, 1) + " % an hour" + power + ")";
}

}  // namespace host::sleep
