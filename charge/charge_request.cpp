#include "charge/charge_request.h"

#include <algorithm>

namespace brimwell::charge {
namespace {

constexpr size_t kLongestName = 32;

bool nameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

}  // namespace

bool isBatteryName(std::string_view name) {
  if (name.empty() || name.size() > kLongestName || name == "." || name == "..") return false;
  return std::all_of(name.begin(), name.end(), nameCharacter);
}

CheckedLimits checkLimits(std::string_view battery, uint32_t end, uint32_t start) {
  CheckedLimits checked;
  if (!isBatteryName(battery)) {
    checked.refusal = "no battery is named so";
  } else if (end < 1 || end > 100) {
    checked.refusal =
        "the charge limit is a whole percent from 1 to 100, not " + std::to_string(end);
  } else if (start != 0 && start >= end) {
    checked.refusal = "charging starts again below the limit: " + std::to_string(start) +
                      " is not below " + std::to_string(end);
  } else {
    LimitsRequest r;
    r.battery = std::string(battery);
    r.end = static_cast<int>(end);
    if (start != 0) r.start = static_cast<int>(start);
    checked.request = std::move(r);
  }
  return checked;
}

}  // namespace brimwell::charge
