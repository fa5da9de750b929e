#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brimwell {
class Plist;
}

// One of the user's other batteries as the devices status file gives it. A key whose value has
// the wrong type is left out, as if the file did not hold it.
struct KnownDevice {
  std::string id, name, kind;
  std::optional<int> level;         // 0..100, where the device tells a percent
  std::optional<std::string> word;  // Full, High, Normal, Low or Critical
  std::string state = "unknown";    // charging, discharging, full or unknown
  bool connected = true;            // a file that does not say is taken at its word: current
  std::optional<double> lastSeen;   // seconds since 1970
  bool operator==(const KnownDevice& other) const;
  bool operator!=(const KnownDevice& other) const { return !(*this == other); }
};

// The devices in the file's order; none for anything but a dictionary with a Devices array. An
// entry that is no dictionary, or has neither a name nor an id, is skipped.
std::vector<KnownDevice> devicesOf(const brimwell::Plist& file);

// The devices status file read now, with the status file's size limit and readers: a file that
// is missing, damaged or refused is no devices known.
std::vector<KnownDevice> readKnownDevices();
