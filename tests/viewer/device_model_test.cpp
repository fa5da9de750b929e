#include "viewer/table/device_model.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/scoped_environment.h"
#include "viewer/table/bid_main_table_view_controller.h"

namespace {

TEST(DeviceModel, NamesFromTheTableOrTheIdentifierItself) {
  const struct {
    std::optional<std::string> identifier;
    const char* name;
  } cases[] = {
      {"iPhone1,1", "iPhone"},
      {"iPhone7,2", "iPhone 6"},
      {"iPhone7,1", "iPhone 6 Plus"},
      {"iPhone4,1", "iPhone 4s"},
      {"iPhone6,2", "iPhone 5s"},
      {"iPhone5,4", "iPhone 5c"},
      {"iPad1,1", "iPad"},
      {"iPad2,5", "iPad mini"},
      {"iPad3,4", "iPad 4"},
      {"iPad4,4", "iPad mini 2"},
      {"iPad4,9", "iPad mini 3"},
      {"iPad5,4", "iPad Air 2"},
      {"iPod1,1", "iPod Touch"},
      {"iPod5,1", "iPod Touch 5"},
      // Not in the table: the identifier comes back unchanged.
      {"iPhone8,1", "iPhone8,1"},
      {"iphone7,2", "iphone7,2"},
      {"iPhone7,2 ", "iPhone7,2 "},
      {"xiPad2,5", "xiPad2,5"},
      {"iPad4,3", "iPad4,3"},
      {"", ""},
      {std::nullopt, "Null"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(deviceModelName(c.identifier), c.name) << c.identifier.value_or("(none)");
  }
}

TEST(DeviceModel, GetDevicePlatformAsksTheSystem) {
  const struct {
    const char* identifier;
    const char* name;
  } cases[] = {{"iPad4,7", "iPad mini 3"}, {"Watch1,1", "Watch1,1"}, {"\xFF\xFEiPhone", "Null"}};
  BIDMainTableViewController controller;
  testing_support::ScopedEnvironment env;
  for (const auto& c : cases) {
    env.set("SIM_MODEL_IDENTIFIER", c.identifier);
    EXPECT_EQ(controller.getDevicePlatform(), c.name);
  }
}

}  // namespace
