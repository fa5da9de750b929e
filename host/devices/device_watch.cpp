#include "host/devices/device_watch.h"

#include <chrono>

#include "common/device_keys.h"
#include "host/devices/device_merge.h"

namespace host::devices {
namespace {

const DeviceBattery* connectedIn(const std::vector<DeviceBattery>& devices, const std::string& id) {
  for (const DeviceBattery& d : devices) {
    if (d.id == id && d.connected) return &d;
  }
  return nullptr;
}

std::string described(const DeviceBattery& d) {
  return d.kind + " " + d.name + " (" + d.via + ")";
}

}  // namespace

std::vector<std::string> comingAndGoing(const std::vector<DeviceBattery>& before,
                                        const std::vector<DeviceBattery>& now) {
  std::vector<std::string> lines;
  for (const DeviceBattery& d : now) {
    if (d.connected && !connectedIn(before, d.id)) lines.push_back("device added: " + described(d));
  }
  for (const DeviceBattery& d : before) {
    if (d.connected && !connectedIn(now, d.id)) lines.push_back("device gone: " + described(d));
  }
  return lines;
}

double wallClockNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

DeviceWatch::DeviceWatch(std::string sysfsFolder, Line line, Line notice)
    : sysfs_(std::move(sysfsFolder)),
      line_(std::move(line)),
      notice_(std::move(notice)),
      file_(brimwell::kDevicesStatusPath) {}

void DeviceWatch::look(double now) {
  sysfs_.look(now);
  update(now);
}

void DeviceWatch::update(double now) {
  std::vector<std::vector<DeviceBattery>> bySource;
  for (const DeviceSource* source : sources_) bySource.push_back(source->devices());
  bySource.push_back(sysfs_.devices());
  std::vector<DeviceBattery> merged = mergeDevices(bySource);
  const bool changed = worthWriting(told_, merged);
  std::string why;
  if (file_.write(merged, now, &why)) {
    failure_.reset();
  } else if (failure_ != why) {
    notice_("cannot write the devices' status file: " + why);
    failure_ = why;
  }
  if (!changed) return;
  for (const std::string& line : comingAndGoing(merged_, merged)) line_(line);
  told_ = merged;
  merged_ = std::move(merged);
  for (const Listener& listener : listeners_) listener(merged_);
}

}  // namespace host::devices
