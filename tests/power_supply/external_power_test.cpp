#include "power_supply/external_power.h"

#include <gtest/gtest.h>

#include "charge/service/power_supply_folder.h"
#include "tests/support/power_supply_fixture.h"

namespace power_supply {
namespace {

using testing_support::SupplyAttributes;

// Whether the machine runs on external power, one rule for the laptop service and the charge
// service (which waits on a full once as if it did where nothing tells): the mains or USB supply
// where the machine shows one, by its `online` (0 offline, 1 online, 2 a programmable USB-PD
// supply online, anything else says nothing), else the batteries' words; a device's charger
// (scope Device) is not the machine's.
TEST(ExternalPower, OneRuleForBothServices) {
  const SupplyAttributes charging = {{"type", "Battery"}, {"status", "Charging"}};
  const SupplyAttributes discharging = {{"type", "Battery"}, {"status", "Discharging"}};
  const auto usbC = [](const char* online) {
    return SupplyAttributes{{"type", "USB"}, {"online", online}};
  };
  const char* port = "ucsi-source-psy-USBC000:001";
  using P = ExternalPower;
  const struct {
    const char* name;
    std::map<std::string, SupplyAttributes> supplies;
    ExternalPower power;
  } rows[] = {
      {"mains online",
       {{"AC", testing_support::mainsAdapter(true)}, {"BAT0", discharging}},
       P::online},
      {"mains offline",
       {{"AC", testing_support::mainsAdapter(false)}, {"BAT0", charging}},
       P::offline},
      {"no mains, charging", {{"BAT0", charging}}, P::online},
      {"no mains, a pack charging beside one draining",
       {{"BAT0", charging}, {"BAT1", discharging}},
       P::online},
      {"no mains, held full",
       {{"BAT0", {{"type", "Battery"}, {"status", "Not charging"}}}},
       P::online},
      {"nothing tells", {{"BAT0", {{"type", "Battery"}, {"status", "Unknown"}}}}, P::unknown},
      {"USB-C online beside mains offline",
       {{"AC", testing_support::mainsAdapter(false)}, {port, usbC("1")}, {"BAT0", discharging}},
       P::online},
      {"a device's charger is not the machine's",
       {{"AC", testing_support::mainsAdapter(false)},
        {"dock", {{"type", "Mains"}, {"scope", "Device"}, {"online", "1"}}}},
       P::offline},
      {"online 0", {{port, usbC("0")}, {"BAT0", charging}}, P::offline},
      {"online 1", {{port, usbC("1")}, {"BAT0", discharging}}, P::online},
      {"online 2", {{port, usbC("2")}, {"BAT0", discharging}}, P::online},
      {"online 3 says nothing", {{port, usbC("3")}, {"BAT0", discharging}}, P::offline},
      {"online 3, the battery charging", {{port, usbC("3")}, {"BAT0", charging}}, P::online},
      {"online -1", {{port, usbC("-1")}, {"BAT0", charging}}, P::online},
      {"online empty", {{port, usbC("")}, {"BAT0", discharging}}, P::offline},
      {"online as a word", {{port, usbC("on")}, {"BAT0", charging}}, P::online},
  };
  for (const auto& r : rows) {
    testing_support::TempDir dir;
    for (const auto& [name, attributes] : r.supplies) {
      testing_support::writeSupply(dir, "ps", name, attributes);
    }
    EXPECT_EQ(externalPowerOf(readPowerSupplies(dir.path() + "/ps")), r.power) << r.name;
    EXPECT_EQ(brimwell::charge::PowerSupplyFolder(dir.path() + "/ps").externalPower(),
              r.power != P::offline)
        << r.name;
  }
}

}  // namespace
}  // namespace power_supply
