#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/charge_arithmetic.h"
#include "platform/uikit/ui_color.h"
#include "viewer/table/outlets.h"

class BIDBatteryInfo;

struct OutletState {
  std::optional<std::string> text;  // none empties the label
  std::optional<UIColor> color;     // only the four coloured outlets get one
};

// What one refresh puts on the screen.
struct ScreenState {
  std::array<OutletState, kOutletCount> outlets;
  OutletState& operator[](Outlet o) { return outlets[static_cast<size_t>(o)]; }
  const OutletState& operator[](Outlet o) const { return outlets[static_cast<size_t>(o)]; }
};

// Looks a fixed text up in the string table (English text as key).
using Localize = std::function<std::string(const std::string&)>;
// A translated text with its first "%s" replaced.
std::string filledIn(const std::string& text, const std::string& value);

// What the screen shows where the reading found no status: the zeros the device shows (the
// simulated phone), or that there is no status yet (a laptop's screen, whose zeros would read
// as figures: "nan%", "0.00" degrees, "Charging... 0 mA").
enum class NoStatusShown { asTheDevice, said };

// The refresh as a decision: from the device name and one reader's values to every text and
// colour of the screen.
ScreenState computeScreenState(const std::string& deviceName, const BIDBatteryInfo& info,
                               const Localize& localize,
                               NoStatusShown noStatus = NoStatusShown::asTheDevice);

// The screen's colours.
namespace screen_colors {
UIColor red();
UIColor green();
UIColor yellowGreen();
}  // namespace screen_colors

UIColor levelColor(float currentLevel);
// A level the driver gives only in a word: red where it is low, none where it is unknown.
std::optional<UIColor> levelWordColor(const std::string& word);
UIColor temperatureColor(float batteryTemperature);
UIColor healthColor(float batteryHealth);

using brimwell::HoursMinutes;
// The remaining-time estimate for a non-zero current: until empty while draining, until full
// while charging. No value when the current is 0.
std::optional<HoursMinutes> remainingHoursMinutes(const BIDBatteryInfo& info);
// The remaining-time line: the estimate, a state text at zero current, or none.
std::optional<std::string> remainingTimeText(const BIDBatteryInfo& info, const Localize& localize);
// On a laptop's status, the host's estimate for the way the charge goes ("Estimating..."
// while it cannot yet tell), or "Charging is complete" when full; none where no time applies.
// While a "full once" holds the limit at 100 %, it says so beside it.
std::optional<std::string> laptopRemainingText(const BIDBatteryInfo& info,
                                               const Localize& localize);
// What a line whose value the laptop's driver does not give shows.
inline constexpr const char* kNotGiven = "\u2014";
// The full-charge line's key.
const char* fullyChargedKey(const BIDBatteryInfo& info);
