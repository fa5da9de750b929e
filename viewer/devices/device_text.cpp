#include "viewer/devices/device_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/device_naming.h"
#include "common/text_format.h"
#include "viewer/devices/text_cells.h"

namespace {

constexpr int kLowPercent = 10;
constexpr int kCriticalPercent = 5;

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string deviceCaption(const KnownDevice& device) {
  return brimwell::deviceNamed(device.name, device.kind, brimwell::kindTitle(device.kind));
}

std::string deviceRowCaption(const std::string& caption, const std::string& value, int rowCells) {
  constexpr int kBesideCaption = 3 + 1 + 1;  // the cells before it, the blank, the cell at the end
  return fittedToCells(caption, rowCells - kBesideCaption - textCells(value));
}

std::string agoText(double seconds) {
  // A clock set back makes a last sighting in the future: it was a moment ago.
  const double s = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
  if (s < 60) return "a moment";
  if (s < 3600) return std::to_string(static_cast<long long>(s / 60)) + " min";
  if (s < 86400) return std::to_string(static_cast<long long>(s / 3600)) + " h";
  return std::to_string(static_cast<long long>(std::min(s / 86400, 1e9))) + " d";
}

std::string deviceLevelText(const KnownDevice& device, double now) {
  if (!device.connected) {
    if (!device.lastSeen) return "not connected";
    return "last seen " + agoText(now - *device.lastSeen) + " ago";
  }
  if (device.level) return std::to_string(*device.level) + " %";
  if (device.word) return *device.word;
  return "unknown";
}

std::string deviceValue(const KnownDevice& device, double now) {
  std::string value = deviceLevelText(device, now);
  if (device.connected && device.state != "unknown") value += ", " + device.state;
  return value;
}

DeviceUrgency deviceUrgency(const KnownDevice& device) {
  if (!device.connected || device.state == "charging" || device.state == "full")
    return DeviceUrgency::none;
  if (device.level) {
    if (*device.level <= kCriticalPercent) return DeviceUrgency::critical;
    return *device.level <= kLowPercent ? DeviceUrgency::low : DeviceUrgency::none;
  }
  if (device.word == std::optional<std::string>("Critical")) return DeviceUrgency::critical;
  return device.word == std::optional<std::string>("Low") ? DeviceUrgency::low
                                                          : DeviceUrgency::none;
}

std::optional<KnownDevice> findDevice(const std::vector<KnownDevice>& devices,
                                      const std::string& query) {
  const std::string wanted = lowerCase(query);
  for (const KnownDevice& d : devices) {
    if (lowerCase(d.name) == wanted) return d;
  }
  for (const KnownDevice& d : devices) {
    if (d.kind == wanted) return d;
  }
  return std::nullopt;
}

std::string noSuchDeviceNote(const std::vector<KnownDevice>& devices, const std::string& query) {
  std::string listed;
  for (const KnownDevice& d : devices) {
    listed += (listed.empty() ? "" : ", ") + brimwell::deviceNamed(d.name, d.kind,
                                                                   brimwell::kindTitle(d.kind),
                                                                   brimwell::quoted(d.name));
  }
  return "no device " + brimwell::quoted(query) + " by name or kind; " +
         (listed.empty() ? "the host lists none" : "the host lists " + listed);
}
