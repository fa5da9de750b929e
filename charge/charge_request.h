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

// New limits: the end of the charge, and where the driver has one, the level below which
// charging starts again. An empty battery is every system battery that offers what is asked;
// a threshold not given is left as it is.
struct LimitsRequest {
  std::string battery;
  std::optional<int> end;
  std::optional<int> start;
};

// The request, or why it is refused, in one line for the caller.
struct CheckedLimits {
  std::optional<LimitsRequest> request;
  std::string refusal;
};
// `end` and `start` as the bus carries them: 0 leaves that threshold as it is.
CheckedLimits checkLimits(std::string_view battery, uint32_t end, uint32_t start);

// A battery named by a caller for "full once": empty (every battery) or a battery's name.
bool isBatteryChoice(std::string_view battery);

}  // namespace brimwell::charge
