#include "viewer/table/laptop_units.h"

#include <cstdio>

#include "viewer/table/bid_battery_info.h"

std::optional<std::string> powerText(const LaptopFigures& f) {
  if (!f.powerMilliwatts) return std::nullopt;
  char text[32];
  std::snprintf(text, sizeof text, "%.1f W", *f.powerMilliwatts / 1000.0);
  return std::string(text);
}

std::optional<std::string> energyText(const LaptopFigures& f) {
  if (!f.energyMilliwattHours || !f.energyFullMilliwattHours) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "%.1f Wh of %.1f Wh", *f.energyMilliwattHours / 1000.0,
                *f.energyFullMilliwattHours / 1000.0);
  return std::string(text);
}
