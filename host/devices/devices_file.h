#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"
#include "host/devices/device_battery.h"

// The devices' status file: the merged list, for the viewer and the bars.
namespace host::devices {

// A level word as the files spell it ("Low"), and back.
const char* levelWordText(LevelWord word);
std::optional<LevelWord> levelWordFrom(const std::string& text);

// A connected device's time last seen moves at each reading; the file follows it in steps of
// this, so that a reader can tell a device gone quiet while the file is not rewritten at every
// look.
inline constexpr double kLastSeenStep = 600;

// The file's dictionary: the devices in the order given, each with what is known of it, and the
// time it was written.
brimwell::Plist devicesPlist(const std::vector<DeviceBattery>& devices, double written);

// The devices a file of devicesPlist holds, as they were written; entries it cannot take are
// left out.
std::vector<DeviceBattery> devicesIn(const brimwell::Plist& file);

// Whether the devices differ from those last written (none: nothing written yet) by more than a
// connected device's time seen moving on by less than kLastSeenStep.
bool worthWriting(const std::optional<std::vector<DeviceBattery>>& written,
                  const std::vector<DeviceBattery>& now);

// The file at one device path, written only when worth it.
class DevicesFile {
 public:
  explicit DevicesFile(std::string devicePath);
  // Writes the devices if they are worth writing (true); false with why when the write failed,
  // which is tried again at the next call.
  bool write(const std::vector<DeviceBattery>& devices, double now, std::string* why);
  // What the file holds now (a host before this one wrote it): none where there is none.
  std::vector<DeviceBattery> lastWritten() const;

 private:
  std::string devicePath_;
  std::optional<std::vector<DeviceBattery>> written_;
};

}  // namespace host::devices
