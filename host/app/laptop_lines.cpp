#include "host/app/laptop_lines.h"

#include "common/status_keys.h"
#include "common/value_conversions.h"

namespace host {
namespace {

namespace key = brimwell::key;

std::string stateWords(const std::string& state) {
  if (state == "charging") return "charging";
  if (state == "discharging") return "on battery";
  if (state == "full") return "full";
  if (state == "not-charging") return "on the charger, not charging";
  return "state unknown";
}

std::string aboutTime(int32_t minutes) {
  const std::string rest = std::to_string(minutes % 60) + " min";
  return "about " + (minutes < 60 ? rest : std::to_string(minutes / 60) + " h " + rest);
}

// The host's time in the direction the battery goes, or that it has none yet.
std::string timeLine(const brimwell::Plist& status, bool charging) {
  const brimwell::Plist* minutes =
      status.item(charging ? key::kAvgTimeToFull : key::kAvgTimeToEmpty);
  const int32_t value = brimwell::intValueOf(minutes);
  const brimwell::Plist* limit = status.item(key::kChargeLimit);
  // A "full once" says why the charge goes past the usual limit.
  const std::string to = !charging ? "to empty"
                         : limit && brimwell::intValueOf(limit) < 100
                             ? "to " + std::to_string(brimwell::intValueOf(limit)) + " %"
                         : brimwell::boolValueOf(status.item(key::kChargeFullOnce))
                             ? "to full (full once)"
                             : "to full";
  if (!minutes || value < 0 || value == brimwell::kUnknownMinutes)
    return "time " + to + ": estimating";
  return aboutTime(value) + " " + to;
}

}  // namespace

bool isLaptopStatus(const brimwell::Plist& status) {
  return status.item(key::kChargingState) != nullptr;
}

std::vector<std::string> laptopLines(const brimwell::Plist& status) {
  const brimwell::Plist* installed = status.item(key::kBatteryInstalled);
  if (installed && !brimwell::boolValueOf(installed)) return {"no battery: it was taken out"};
  const std::string state = brimwell::textOf(status.item(key::kChargingState)).value_or("");
  const brimwell::Plist* level = status.item(key::kCurrentCapacityPercent);
  const auto word = brimwell::textOf(status.item(key::kBatteryLevelWord));
  std::vector<std::string> lines = {(level  ? std::to_string(brimwell::intValueOf(level)) + " %, "
                                     : word ? "level " + *word + ", "
                                            : "") +
                                    stateWords(state)};
  // A level in a word gives no time to estimate.
  if ((state == "charging" || state == "discharging") && !word)
    lines.push_back(timeLine(status, state == "charging"));
  return lines;
}

}  // namespace host
