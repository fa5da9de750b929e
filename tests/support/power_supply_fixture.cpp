#include "tests/support/power_supply_fixture.h"

namespace testing_support {

void writeSupply(const TempDir& dir, const std::string& folder, const std::string& name,
                 const SupplyAttributes& attributes) {
  for (const auto& [attribute, value] : attributes) {
    dir.write(folder + "/" + name + "/" + attribute, value + "\n");
  }
}

SupplyAttributes chargeBasedBattery() {
  return {{"type", "Battery"},
          {"status", "Discharging"},
          {"charge_now", "3402000"},
          {"charge_full", "4080000"},
          {"charge_full_design", "4400000"},
          {"current_now", "1210000"},
          {"voltage_now", "11913000"},
          {"voltage_min_design", "11400000"},
          {"cycle_count", "87"},
          {"temp", "301"},
          {"manufacturer", "SMP"},
          {"serial_number", "  1234"}};
}

SupplyAttributes energyOnlyBattery() {
  return {
      {"type", "Battery"},        {"scope", "System"},         {"status", "Charging"},
      {"energy_now", "30780000"}, {"energy_full", "45600000"}, {"energy_full_design", "57000000"},
      {"power_now", "17100000"},  {"voltage_now", "12600000"}, {"voltage_min_design", "11400000"},
      {"manufacturer", "LGC"}};
}

SupplyAttributes mainsAdapter(bool online) {
  return {{"type", "Mains"}, {"online", online ? "1" : "0"}};
}

SupplyAttributes hidppMouse() {
  return {{"type", "Battery"},           {"scope", "Device"},
          {"status", "Discharging"},     {"online", "1"},
          {"capacity_level", "Normal"},  {"voltage_now", "3912000"},
          {"model_name", "MX Master 3"}, {"serial_number", "4089-a6-b1-c2"},
          {"manufacturer", "Logitech"}};
}

SupplyAttributes hidKeyboard() {
  return {{"type", "Battery"},
          {"scope", "Device"},
          {"status", "Discharging"},
          {"capacity", "64"},
          {"model_name", "Razer BlackWidow V3 Mini"}};
}

SupplyAttributes bluetoothMouse() {
  return {{"type", "Battery"},
          {"scope", "Device"},
          {"status", "Discharging"},
          {"capacity", "41"},
          {"model_name", "Bluetooth Mouse M336"},
          {"serial_number", "aa:bb:cc:dd:ee:0f"}};
}

SupplyAttributes playStationFresh() {
  return {{"type", "Battery"}, {"scope", "Device"}, {"status", "Unknown"}, {"capacity", "100"}};
}

SupplyAttributes wacomPen() {
  return {{"type", "USB"},    {"scope", "Device"}, {"status", "Discharging"},
          {"capacity", "35"}, {"online", "1"},     {"model_name", "Wacom Intuos Pro M"}};
}

InputCapabilities mouseInput() {
  return {"17", "ffff0000 0 0 0 0", "1943", "0"};
}
InputCapabilities keyboardInput() {
  return {"120013", "1000000000007 ff800000000007ff febeffdff3cfffff fffffffffffffffe", "0", "0"};
}
InputCapabilities controllerInput() {
  return {"20000b", "7fdb000000000000 0 0 0 0", "0", "3003f"};
}
InputCapabilities penInput() {
  return {"1b", "1c03 0 0 0 0 0", "0", "1000003"};
}

void writeInput(const TempDir& dir, const std::string& folder, const std::string& supply,
                const std::string& input, const std::string& name, const InputCapabilities& caps) {
  const std::string at = folder + "/" + supply + "/device/input/" + input + "/";
  dir.write(at + "name", name + "\n");
  dir.write(at + "capabilities/ev", caps.ev + "\n");
  dir.write(at + "capabilities/key", caps.key + "\n");
  dir.write(at + "capabilities/rel", caps.rel + "\n");
  dir.write(at + "capabilities/abs", caps.abs + "\n");
}

}  // namespace testing_support
