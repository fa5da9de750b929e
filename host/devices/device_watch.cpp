#include "host/devices/device_watch.h"

#include <algorithm>
#include <chrono>

#include "common/device_keys.h"
#include "common/device_naming.h"
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
  return brimwell::deviceNamed(d.name, d.kind, d.kind) + " (" + d.via + ")";
}

// A device was last seen no earlier than the host knew it before (a source that has not seen it
// in this run says 0), and never later than now (a clock set back, a record from its future).
void keepLastSeen(const std::vector<DeviceBattery>& before, std::vector<DeviceBattery>& now,
                  double time) {
  for (DeviceBattery& d : now) {
    const auto was = std::find_if(before.begin(), before.end(),
                                  [&](const DeviceBattery& b) { return b.id == d.id; });
    if (was != before.end()) d.lastSeen = std::max(d.lastSeen, was->lastSeen);
    d.lastSeen = std::min(d.lastSeen, time);
  }
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

std::vector<DeviceBattery> asSaid(const std::vector<DeviceBattery>& saidBefore,
                                  const std::vector<DeviceBattery>& now,
                                  const std::set<std::string>& quiet) {
  std::vector<DeviceBattery> said;
  for (const DeviceBattery& d : now) {
    const auto was = std::find_if(saidBefore.begin(), saidBefore.end(),
                                  [&](const DeviceBattery& b) { return b.id == d.id; });
    said.push_back(quiet.count(d.id) && was != saidBefore.end() ? *was : d);
  }
  return said;
}

double wallClockNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

DeviceWatch::DeviceWatch(std::string sysfsFolder, Line line, Line notice)
    : sysfs_(std::move(sysfsFolder)),
      line_(std::move(line)),
      notice_(std::move(notice)),
      file_(brimwell::kDevicesStatusPath),
      merged_(file_.lastWritten()) {
  // Until a source tells of it again, a device is not known to be there.
  for (DeviceBattery& d : merged_) d.connected = false;
}

void DeviceWatch::look(double now) {
  sysfs_.look(now);
  update(now);
}

void DeviceWatch::update(double now) {
  std::vector<std::vector<DeviceBattery>> bySource;
  std::set<std::string> quiet;
  for (size_t i = 0; i < sources_.size(); ++i) {
    bySource.push_back(sources_[i]->devices());
    if (sources_[i]->away()) {
      quiet.insert(toldBy_[i].begin(), toldBy_[i].end());
      continue;
    }
    toldBy_[i].clear();
    for (const DeviceBattery& d : bySource.back()) toldBy_[i].insert(d.id);
  }
  bySource.push_back(sysfs_.devices());
  std::vector<DeviceBattery> merged = keptGone(merged_, mergeDevices(bySource), now);
  keepLastSeen(merged_, merged, now);
  const bool changed = worthWriting(told_, merged);
  std::string why;
  if (file_.write(merged, now, &why)) {
    failure_.reset();
  } else if (failure_ != why) {
    notice_("cannot write the devices' status file: " + why);
    failure_ = why;
  }
  if (!changed) return;
  std::vector<DeviceBattery> said = asSaid(said_, merged, quiet);
  for (const std::string& line : comingAndGoing(said_, said)) line_(line);
  said_ = std::move(said);
  told_ = merged;
  merged_ = std::move(merged);
  for (const Listener& listener : listeners_) listener(merged_);
}

}  // namespace host::devices
