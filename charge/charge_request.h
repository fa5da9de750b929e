#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a caller may ask of the charge service, checked before anything is looked up or written:
// every caller is a stranger, and nothing it sends names a path.
namespace brimwell::charge {

// A battery as the kernel names its power supply: letters, digits, '-', '_' and '.', at most 32
// bytes, never "." or "..", so that no name reaches outside the power-supply folder.
bool isBatteryName(std::string_view name);

// New limits for one battery: the end of the charge, and where the driver has one, the level
// below which charging starts again (0 leaves it as it is).
struct LimitsRequest {
  std::string battery;
  int end = 100;
  std::optional<int> start;
};

// The request, or why it is refused, in one line for the caller.
struct CheckedLimits {
  std::optional<LimitsRequest> request;
  std::string refusal;
};
CheckedLimits checkLimits(std::string_view battery, uint32_t end, uint32_t start);

}  // namespace brimwell::charge
