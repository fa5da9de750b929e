#include "viewer/output/device_bars.h"

#include <vector>

#include "viewer/devices/device_text.h"
#include "viewer/output/bar_formats.h"
#include "viewer/output/json_output.h"

namespace {

bool shown(const std::optional<KnownDevice>& d) {
  return d && d->connected;
}

// "8%" or "Normal", as the battery's own bar text has no space before its percent sign.
std::string textOf(const KnownDevice& d) {
  if (d.level) return std::to_string(*d.level) + "%";
  return d.word.value_or("unknown");
}

const char* colourOf(const KnownDevice& d) {
  switch (deviceUrgency(d)) {
    case DeviceUrgency::critical:
      return "#cc0000";
    case DeviceUrgency::low:
      return "#ff8000";
    case DeviceUrgency::none:
      break;
  }
  return d.state == "charging" ? "#00bf00" : nullptr;
}

}  // namespace

std::string deviceWaybarLine(const std::optional<KnownDevice>& device, double now) {
  if (!shown(device)) return jsonObject({{"text", std::string()}});
  const KnownDevice& d = *device;
  std::vector<std::string> classes = {d.state};
  const DeviceUrgency urgency = deviceUrgency(d);
  if (urgency != DeviceUrgency::none)
    classes.push_back(urgency == DeviceUrgency::critical ? "critical" : "warning");
  std::vector<JsonMember> members;
  members.push_back({"text", textOf(d)});
  members.push_back({"alt", d.kind});
  members.push_back({"tooltip", markupEscaped(deviceCaption(d) + "\n" + deviceValue(d, now))});
  members.push_back({"class", std::move(classes)});
  if (d.level) members.push_back({"percentage", int64_t{*d.level}});
  return jsonObject(members);
}

std::string deviceI3blocksLines(const std::optional<KnownDevice>& device) {
  if (!shown(device)) return std::string();
  const char* colour = colourOf(*device);
  const std::string text = textOf(*device);
  return text + "\n" + text + "\n" + (colour ? colour : "") + "\n";
}

int deviceI3blocksExitStatus(const std::optional<KnownDevice>& device) {
  return shown(device) && deviceUrgency(*device) == DeviceUrgency::critical ? 33 : 0;
}

std::string devicePolybarLine(const std::optional<KnownDevice>& device) {
  if (!shown(device)) return std::string();
  const char* colour = colourOf(*device);
  const std::string text = textOf(*device);
  return colour ? std::string("%{F") + colour + "}" + text + "%{F-}" : text;
}

std::string deviceBarOutput(OutputFormat format, const std::optional<KnownDevice>& device,
                            double now) {
  if (!shown(device)) return std::string();
  switch (format) {
    case OutputFormat::waybar:
      return deviceWaybarLine(device, now) + "\n";
    case OutputFormat::i3blocks:
      return deviceI3blocksLines(device);
    case OutputFormat::polybar:
      return devicePolybarLine(device) + "\n";
    case OutputFormat::json:
    case OutputFormat::screen:
    case OutputFormat::csv:
      break;
  }
  return std::string();
}
