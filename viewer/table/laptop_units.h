#pragma once

#include <optional>
#include <string>

struct LaptopFigures;

// A laptop's battery in the units its drivers and its users count in, beside the mA and mAh
// lines: the power ("-10.2 W", drawn from the battery below zero) and the energy now and at
// full charge ("31.0 Wh of 50.0 Wh"); none where the host gives no such figure.
std::optional<std::string> powerText(const LaptopFigures& figures);
// A power as the viewer writes one wherever it does: "-10.2 W"; one too small to show has no
// sign ("0.0 W").
std::string wattsText(double watts);
std::optional<std::string> energyText(const LaptopFigures& figures);
