#pragma once

#include <string>

#include "tests/support/subprocess.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// A simulated device with the built plug-in installed and the alert sound in place.
class DeviceRoot : public TempDir {
 public:
  explicit DeviceRoot(bool withSound = true);
  std::string statusFile() const { return read("/tmp/batteryStatus.plist"); }
  bool hasStatusFile() const;
  std::string settingsFile() const { return read(kSettings); }
  // Writes the settings file with this dictionary body.
  void writeSettings(const std::string& dictionaryBody) const;
  // The settings a laptop has once its service first ran: the laptop's defaults, so the host has
  // nothing to fill in or say.
  void writeLaptopSettings() const;
  static constexpr const char* kSettings =
      "/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist";
  // Runs springboard-sim --script - with this scenario on its standard input.
  ProcessResult runScenario(const std::string& scenario, const std::string& languages = "en") const;
};

}  // namespace testing_support
