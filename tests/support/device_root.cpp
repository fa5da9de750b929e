#include "tests/support/device_root.h"

#include <filesystem>

#include "common/laptop_settings.h"

namespace fs = std::filesystem;

namespace testing_support {

DeviceRoot::DeviceRoot(bool withSound) {
  const fs::path plugins = fs::path(path()) / "Library/MobileSubstrate/DynamicLibraries";
  fs::create_directories(plugins);
  fs::create_symlink(BRIMWELL_DYLIB, plugins / "Brimwell.dylib");
  if (withSound) write("/System/Library/Audio/UISounds/alert_sound.wav", "RIFF....WAVE");
}

bool DeviceRoot::hasStatusFile() const {
  return fs::exists(fs::path(path()) / "tmp/batteryStatus.plist");
}

void DeviceRoot::writeSettings(const std::string& dictionaryBody) const {
  write(kSettings, plistXml(dictionaryBody));
}

void DeviceRoot::writeLaptopSettings() const {
  brimwell::Plist settings = brimwell::Plist::newDictionary();
  brimwell::fillLaptopDefaults(settings);
  write(kSettings, settings.toXml());
}

ProcessResult DeviceRoot::runScenario(const std::string& scenario,
                                      const std::string& languages) const {
  return runProcess(SPRINGBOARD_SIM, {"--script", "-"},
                    {{"SIM_DEVICE_ROOT", path()}, {"SIM_LANGUAGES", languages}}, scenario);
}

}  // namespace testing_support
