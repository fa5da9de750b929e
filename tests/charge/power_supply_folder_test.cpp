#include "charge/service/power_supply_folder.h"

#include <gtest/gtest.h>

#include "host/sources/sysfs_battery.h"
#include "tests/support/power_supply_fixture.h"

namespace brimwell::charge {
namespace {

using testing_support::SupplyAttributes;

// Whether a "full once" still has external power: the mains or USB supply where the machine has
// one, else the battery's own word; a device's charger (scope Device) is not the machine's.
TEST(PowerSupplyFolder, ExternalPower) {
  const SupplyAttributes charging = {{"type", "Battery"}, {"status", "Charging"}};
  const SupplyAttributes discharging = {{"type", "Battery"}, {"status", "Discharging"}};
  const struct {
    const char* name;
    std::map<std::string, SupplyAttributes> supplies;
    bool external;
  } rows[] = {
      {"mains online", {{"AC", testing_support::mainsAdapter(true)}, {"BAT0", discharging}}, true},
      {"mains offline", {{"AC", testing_support::mainsAdapter(false)}, {"BAT0", charging}}, false},
      {"no mains, charging", {{"BAT0", charging}}, true},
      {"no mains, discharging", {{"BAT0", charging}, {"BAT1", discharging}}, false},
      {"USB-C online beside mains offline",
       {{"AC", testing_support::mainsAdapter(false)},
        {"ucsi", {{"type", "USB"}, {"online", "1"}}},
        {"BAT0", discharging}},
       true},
      {"a device's charger is not the machine's",
       {{"AC", testing_support::mainsAdapter(false)},
        {"dock", {{"type", "Mains"}, {"scope", "Device"}, {"online", "1"}}}},
       false},
  };
  for (const auto& r : rows) {
    testing_support::TempDir dir;
    for (const auto& [name, attributes] : r.supplies) {
      testing_support::writeSupply(dir, "ps", name, attributes);
    }
    EXPECT_EQ(PowerSupplyFolder(dir.path() + "/ps").externalPower(), r.external) << r.name;
  }
}

// Each value of a charger's `online`, as the charge service and the laptop service both read it:
// 0 offline, 1 online, 2 a programmable USB-PD supply online; any other says nothing, and the
// battery's own word decides.
TEST(PowerSupplyFolder, OneRuleForOnline) {
  const struct {
    const char* online;
    const char* battery;  // its status
    bool external;
  } rows[] = {
      {"0", "Charging", false},    {"1", "Discharging", true}, {"2", "Discharging", true},
      {"3", "Discharging", false}, {"3", "Charging", true},    {"-1", "Charging", true},
      {"", "Discharging", false},  {"on", "Charging", true},
  };
  for (const auto& r : rows) {
    testing_support::TempDir dir;
    testing_support::writeSupply(dir, "ps", "BAT0", {{"type", "Battery"}, {"status", r.battery}});
    testing_support::writeSupply(dir, "ps", "ucsi", {{"type", "USB"}, {"online", r.online}});
    const std::string name = std::string("online ") + r.online + ", " + r.battery;
    EXPECT_EQ(PowerSupplyFolder(dir.path() + "/ps").externalPower(), r.external) << name;
    EXPECT_EQ(host::externalPowerOf(host::readPowerSupplies(dir.path() + "/ps")),
              r.external ? host::ExternalPower::online : host::ExternalPower::offline)
        << name;
  }
}

}  // namespace
}  // namespace brimwell::charge
