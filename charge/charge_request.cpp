#include "charge/charge_request.h"

#include <algorithm>

namespace brimwell::charge {
namespace {

constexpr size_t kLongestName = 32;

bool nameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

bool isPercent(uint32_t value) {
  return value >= 1 && value <= 100;
}

}  // namespace

bool isBatteryName(std::string_view name) {
  if (name.empty() || name.size() > kLongestName || name == "." || name == "..") return false;
  return std::all_of(name.begin(), name.end(), nameCharacter);
}

bool isBatteryChoice(std::string_view battery) {
  return battery.empty() || isBatteryName(battery);
}

CheckedLimits checkLimits(std::string_view battery, uint32_t end, uint32_t start) {
  CheckedLimits checked;
  if (!isBatteryChoice(battery)) {
    checked.refusal = "no battery is named so";
  } else if (end == 0 && start == 0) {
    checked.refusal = "neither a charge limit nor a start was given";
  } else if (end != 0 && !isPercent(end)) {
    checked.refusal =
        "the charge limit is a whole percent from 1 to 100, not " + std::to_string(end);
  } else if (start > 99) {
    checked.refusal =
        "charging starts again at a whole percent from 1 to 99, not " + std::to_string(start);
  } else if (start != 0 && end != 0 && start >= end) {
    checked.refusal = "charging starts again below the limit: " + std::to_string(start) +
                      " is not below " + std::to_string(end);
  } else {
    LimitsRequest r;
    r.battery = std::string(battery);
    if (end != 0) r.end = static_cast<int>(end);
    if (start != 0) r.start = static_cast<int>(start);
    checked.request = std::move(r);
  }
  return checked;
}

}  // namespace brimwell::charge
