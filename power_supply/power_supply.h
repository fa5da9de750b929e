#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// The kernel's power-supply class folder as both the laptop service and the charge service read
// it: every attribute without blocking and without a stream.
namespace power_supply {

// One power supply as the kernel shows it under /sys/class/power_supply/NAME: attribute file
// name to its first line. An attribute that could not be read is simply not there.
struct PowerSupply {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::optional<std::string> get(const std::string& attribute) const;
  bool is(const std::string& attribute, const char* value) const { return get(attribute) == value; }
  bool operator==(const PowerSupply& other) const {
    return name == other.name && attributes == other.attributes;
  }
};

// Why a power-supply folder cannot be read at all (it does not exist, is no folder, may not be
// read); none when it can.
std::optional<std::string> folderProblem(const std::string& folder);

// Every supply in the folder, in name order, with what is read of a supply of its kind.
std::vector<PowerSupply> readPowerSupplies(const std::string& folder);

// The first line of a small file (a sysfs attribute), read without blocking and without a stream;
// none when it cannot be read.
std::optional<std::string> firstLineOf(const std::string& path);

}  // namespace power_supply
