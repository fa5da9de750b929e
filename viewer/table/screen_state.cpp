#include "viewer/table/screen_state.h"

#include <cmath>
#include <cstdarg>

#include "common/saturating_truncate.h"
#include "common/status_keys.h"
#include "platform/foundation/ns_string.h"
#include "viewer/table/bid_battery_info.h"

using brimwell::saturatingTruncate;

namespace {

// The translated texts are formats too (a translation may say "%%"), as on the device.
// (The format comes as a pointer: va_start after a reference parameter is undefined.)
std::string formatLocalized(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = NSString::stringWithFormatV(format, args);
  va_end(args);
  return out;
}

}  // namespace

std::string filledIn(const std::string& text, const std::string& value) {
  const size_t at = text.find("%s");
  return at == std::string::npos ? text : text.substr(0, at) + value + text.substr(at + 2);
}

namespace screen_colors {
UIColor red() {
  return UIColor::colorWithRed(0.8f, 0.0f, 0.0f, 1.0f);
}
UIColor green() {
  return UIColor::colorWithRed(0.0f, 0.75f, 0.0f, 1.0f);
}
UIColor yellowGreen() {
  return UIColor::colorWithRed(0.5f, 0.75f, 0.0f, 1.0f);
}
}  // namespace screen_colors

UIColor levelColor(float currentLevel) {
  // NaN compares false, so a level that is not a number is green.
  return static_cast<double>(currentLevel) < 20 ? screen_colors::red() : screen_colors::green();
}

std::optional<UIColor> levelWordColor(const std::string& word) {
  if (word == "Critical" || word == "Low") return screen_colors::red();
  if (word == "Unknown") return std::nullopt;
  return screen_colors::green();
}

UIColor temperatureColor(float t) {
  if (t > 0.0f && t < 35.0f) return screen_colors::green();
  if (t >= 35.0f) return UIColor::orangeColor();
  return UIColor::blueColor();
}

UIColor healthColor(float batteryHealth) {
  const double h = batteryHealth;
  if (h > 80 && h <= 90) return screen_colors::yellowGreen();
  if (h > 90) return screen_colors::green();
  return UIColor::orangeColor();
}

std::optional<HoursMinutes> remainingHoursMinutes(const BIDBatteryInfo& info) {
  const int32_t current = info.instanceCurrent;
  if (current < 0) {
    // Time until empty. The absolute value is taken in float: -INT32_MIN does not exist.
    const float hours =
        static_cast<float>(info.currentCap) / std::fabs(static_cast<float>(current));
    if (hours < 1.0f) return HoursMinutes{0, saturatingTruncate(60.0f * hours)};
    const int32_t h = saturatingTruncate(hours);
    return HoursMinutes{h, saturatingTruncate((hours - static_cast<float>(h)) * 60.0f)};
  }
  if (current > 0) {
    if (info.currentLevel < 80.0f) {
      return brimwell::toEightyPercentPlusAnHour(info.maxCap, info.currentCap, current);
    }
    return HoursMinutes{0, brimwell::trickleMinutes(info.currentLevel)};
  }
  return std::nullopt;
}

std::optional<std::string> remainingTimeText(const BIDBatteryInfo& info, const Localize& localize) {
  if (const auto estimate = remainingHoursMinutes(info)) {
    return formatLocalized(localize("%d h %d m").c_str(), estimate->hours, estimate->minutes);
  }
  if (info.charging && info.currentLevel == 100.0f) {
    return formatLocalized(localize("Trickle Charging...").c_str());
  }
  if (info.currentLevel == 100.0f && info.isFullyCharged) {
    return formatLocalized(localize("Charging is complete").c_str());
  }
  return std::nullopt;
}

namespace {

std::optional<std::string> hostTimeText(const BIDBatteryInfo& info, const Localize& localize) {
  const LaptopFigures& f = *info.laptop;
  if (f.state == "full") return formatLocalized(localize("Charging is complete").c_str());
  const std::optional<int32_t> minutes = f.state == "discharging" ? f.minutesToEmpty
                                         : f.state == "charging"  ? f.minutesToFull
                                                                  : std::nullopt;
  if (!minutes || *minutes < 0) return std::nullopt;
  if (*minutes == brimwell::kUnknownMinutes) return localize("Estimating...");
  return formatLocalized(localize("%d h %d m").c_str(), *minutes / 60, *minutes % 60);
}

}  // namespace

std::optional<std::string> laptopRemainingText(const BIDBatteryInfo& info,
                                               const Localize& localize) {
  std::optional<std::string> text = hostTimeText(info, localize);
  // The charge goes past the usual limit on the user's word: said beside the time to full or
  // the full charge, so that it is not taken for a limit forgotten.
  if (text && info.laptop->fullOnce && info.laptop->state != "discharging")
    text = filledIn(localize("%s (full once)"), *text);
  return text;
}

namespace {

// On a laptop's status, a line whose key the driver did not give shows a dash, uncoloured:
// a battery without a temperature sensor is not at 0.00 degrees.
void dashWhatIsNotGiven(const BIDBatteryInfo& info, ScreenState& s) {
  namespace key = brimwell::key;
  static const struct {
    const char* key;
    Outlet outlet;
  } kLines[] = {
      {key::kTemperature, Outlet::batteryTempLabel},
      {key::kInstantAmperage, Outlet::currentLabel},
      {key::kCycleCount, Outlet::cycleLabel},
      {key::kDesignCapacity, Outlet::designCap},
      {key::kDesignCapacity, Outlet::batteryHeath},
      {key::kRawCurrentCapacity, Outlet::currentCap},
      {key::kRawMaxCapacity, Outlet::maxCap},
      {key::kRawMaxCapacity, Outlet::batteryHeath},
      {key::kVoltage, Outlet::voltageLabel},
      {key::kManufacturer, Outlet::manufacturerLabel},
      {key::kSerial, Outlet::serialNumberLabel},
  };
  for (const auto& line : kLines) {
    if (!info.absentKeys.count(line.key)) continue;
    s[line.outlet].text = kNotGiven;
    s[line.outlet].color.reset();
  }
  if (info.chargerIsPluggedIn && info.absentKeys.count(key::kAmperage))
    s[Outlet::outputLabel].text = kNotGiven;
}

// No status, said: a dash on every line, uncoloured, the level saying why.
ScreenState noStatusSaid(const std::string& deviceName, const BIDBatteryInfo& info,
                         const Localize& localize) {
  ScreenState s;
  for (OutletState& outlet : s.outlets) outlet.text = kNotGiven;
  s[Outlet::deviceLabel].text = deviceName;
  s[Outlet::currentBatteryLevel].text = localize(info.batteryGone ? "No battery" : "No status yet");
  s[Outlet::chargingOrDrainingLabel].text = localize("Current");
  s[Outlet::useOrRemainingLabel].text = localize("Remaining Time");
  return s;
}

}  // namespace

const char* fullyChargedKey(const BIDBatteryInfo& info) {
  if (info.isFullyCharged && info.chargerIsPluggedIn) return "Yes";
  if (!info.chargerIsPluggedIn) return "No Charger";
  if (!info.charging) return "No Charging";
  return "No";
}

ScreenState computeScreenState(const std::string& deviceName, const BIDBatteryInfo& info,
                               const Localize& localize, NoStatusShown noStatus) {
  if (noStatus == NoStatusShown::said && !holdsAStatus(info)) {
    return noStatusSaid(deviceName, info, localize);
  }
  ScreenState s;
  s[Outlet::deviceLabel].text = deviceName;

  s[Outlet::currentBatteryLevel].text = info.levelMsg;
  s[Outlet::currentBatteryLevel].color = levelColor(info.currentLevel);
  s[Outlet::batteryTempLabel].color = temperatureColor(info.batteryTemperature);
  s[Outlet::batteryTempLabel].text = info.batteryTempMsg;

  const auto labelTheWay = [&](bool draining) {
    s[Outlet::chargingOrDrainingLabel].text = localize(draining ? "Draining..." : "Charging...");
    s[Outlet::currentLabel].color = draining ? screen_colors::red() : screen_colors::green();
    s[Outlet::useOrRemainingLabel].text = localize(draining ? "Can Use" : "Remaining Time");
  };
  labelTheWay(info.instanceCurrent < 0);
  s[Outlet::currentLabel].text = info.currentMsg;
  s[Outlet::remainingTimeLabel].text = remainingTimeText(info, localize);

  s[Outlet::batteryHeath].color = healthColor(info.batteryHealth);
  s[Outlet::batteryHeath].text = info.healthMsg;
  s[Outlet::cycleLabel].text = info.cycleMsg;
  s[Outlet::currentCap].text = info.currentCapacityMsg;
  s[Outlet::maxCap].text = info.maxMsg;
  s[Outlet::designCap].text = info.designMsg;
  s[Outlet::voltageLabel].text = info.voltageMsg;

  s[Outlet::outputLabel].text =
      info.chargerIsPluggedIn ? info.chargingCurrentMsg : localize("No Charger");
  s[Outlet::fullyChargedLabel].text = localize(fullyChargedKey(info));

  s[Outlet::manufacturerLabel].text = info.manufacturerMsg;
  s[Outlet::serialNumberLabel].text = info.serialNumberMsg;
  if (info.laptop) {
    // The drivers' own percentage, as the bars and the JSON give it; and a battery that is
    // neither charged nor drained says so rather than "Charging..." at 0 mA.
    if (const auto percent = info.laptop->percent) {
      s[Outlet::currentBatteryLevel].text =
          formatLocalized("%.2f%%", static_cast<double>(*percent));
      s[Outlet::currentBatteryLevel].color = levelColor(static_cast<float>(*percent));
    }
    if (const auto& word = info.laptop->levelWord) {
      s[Outlet::currentBatteryLevel].text = localize(*word);
      s[Outlet::currentBatteryLevel].color = levelWordColor(*word);
    }
    // The way the charge goes is the host's word, not the current's sign: a driver may give no
    // current at all.
    const std::string& state = info.laptop->state;
    if (state == "discharging" || state == "charging") labelTheWay(state == "discharging");
    if (state == "not-charging" || state == "full") {
      s[Outlet::chargingOrDrainingLabel].text = localize("No Charging");
    }
    s[Outlet::remainingTimeLabel].text = laptopRemainingText(info, localize);
    dashWhatIsNotGiven(info, s);
  }
  return s;
}
