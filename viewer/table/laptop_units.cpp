#include "viewer/table/laptop_units.h"

#include <cstdio>

#include "viewer/table/bid_battery_info.h"

std::string wattsText(double watts) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f W", watts);
  return text == std::string("-0.0 W") ? "0.0 W" : text;
}

std::optional<std::string> powerText(const LaptopFigures& f) {
  if (!f.powerMilliwatts) return std::nullopt;
  return wattsText(*f.powerMilliwatts / 1000.0);
}

std::optional<std::string> energyText(const LaptopFigures& f) {
  if (!f.energyMilliwattHours || !f.energyFullMilliwattHours) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "%.1f Wh of %.1f Wh", *f.energyMilliwattHours / 1000.0,
                *f.energyFullMilliwattHours / 1000.0);
  return std::string(text);
}
