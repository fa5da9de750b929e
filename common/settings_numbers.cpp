#include "common/settings_numbers.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "common/value_conversions.h"

namespace brimwell {

std::optional<int> wholeNumberIn(const Plist& value) {
  if (value.kind() == Plist::Kind::Integer || value.kind() == Plist::Kind::Real)
    return intValueOf(&value);
  if (value.kind() != Plist::Kind::String || value.text().empty()) return std::nullopt;
  char* end = nullptr;
  const long long number = std::strtoll(value.text().c_str(), &end, 10);
  if (*end != '\0' || number < INT32_MIN || number > INT32_MAX) return std::nullopt;
  return static_cast<int>(number);
}

void readWholeNumber(const Plist* value, const std::string& name, int low, int high, int& out,
                     std::vector<std::string>& complaints) {
  if (!value) return;
  const std::optional<int> number = wholeNumberIn(*value);
  if (!number) {
    complaints.push_back(name + " \"" + textOf(value).value_or("") + "\" is not a number; using " +
                         std::to_string(out));
    return;
  }
  out = std::clamp(*number, low, high);
  if (out != *number) {
    complaints.push_back(name + " " + std::to_string(*number) + " is outside " +
                         std::to_string(low) + " to " + std::to_string(high) + "; using " +
                         std::to_string(out));
  }
}

}  // namespace brimwell
