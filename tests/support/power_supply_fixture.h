#pragma once

#include <map>
#include <string>

#include "tests/support/temp_dir.h"

namespace testing_support {

using SupplyAttributes = std::map<std::string, std::string>;

// Writes one supply's attribute files under folder/name, as the kernel lays them out.
void writeSupply(const TempDir& dir, const std::string& folder, const std::string& name,
                 const SupplyAttributes& attributes);

// Laptops seen in the wild, as fixture attribute sets.
SupplyAttributes chargeBasedBattery();  // charge_* in µAh, current_now, cycle count, temp
SupplyAttributes energyOnlyBattery();   // energy_* in µWh, power_now, no current
SupplyAttributes mainsAdapter(bool online);

// The user's other batteries, as their drivers lay them out (scope Device).
SupplyAttributes hidppMouse();        // hid-logitech-hidpp: capacity_level and voltage only
SupplyAttributes hidKeyboard();       // hid-input's generic battery over USB: capacity
SupplyAttributes bluetoothMouse();    // hid-input over Bluetooth: its address as serial
SupplyAttributes playStationFresh();  // hid-playstation before the first report: 100 % Unknown
SupplyAttributes wacomPen();          // wacom: type USB

// An input device under a supply's device/input, its capabilities as the kernel prints them.
struct InputCapabilities {
  std::string ev, key, rel, abs;
};
InputCapabilities mouseInput();       // REL_X, REL_Y, the mouse buttons
InputCapabilities keyboardInput();    // the letters and more
InputCapabilities controllerInput();  // ABS_X.., BTN_SOUTH..
InputCapabilities penInput();         // ABS_X, BTN_TOOL_PEN
void writeInput(const TempDir& dir, const std::string& folder, const std::string& supply,
                const std::string& input, const std::string& name, const InputCapabilities& caps);

}  // namespace testing_support
