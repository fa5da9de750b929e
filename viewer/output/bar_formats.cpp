#include "viewer/output/bar_formats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include <vector>

#include "viewer/devices/device_text.h"
#include "viewer/output/json_output.h"
#include "viewer/table/laptop_units.h"

namespace {

// The screen's own colours: red, orange, green.
const char* colourOf(const StatusSummary& s, Urgency urgency) {
  if (urgency == Urgency::critical) return "#cc0000";
  if (urgency == Urgency::warning) return "#ff8000";
  if (s.state == std::optional<std::string>("charging")) return "#00bf00";
  return nullptr;
}

bool stale(const StatusSummary& s, const BarContext& c) {
  return s.writtenAt && c.now - *s.writtenAt > kStaleAfterSeconds;
}

// The time the charge goes, "1:05"; none where it is not known.
std::optional<std::string> timeText(const StatusSummary& s) {
  const std::optional<int64_t> minutes =
      s.state == std::optional<std::string>("charging") ? s.minutesToFull : s.minutesToEmpty;
  if (!minutes) return std::nullopt;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(*minutes / 60),
                static_cast<long long>(*minutes % 60));
  return std::string(text);
}

// The level as a bar shows it: a percent, else the driver's word.
std::string percentText(const StatusSummary& s) {
  if (!s.level) return s.levelWord.value_or("");
  return std::to_string(std::lround(*s.level)) + "%";
}

bool levelShown(const StatusSummary& s) {
  return s.hasStatus && (s.level || s.levelWord);
}

// Where a charge goes to: its limit, where the kernel stops it short of full.
std::string chargeTarget(const StatusSummary& s) {
  if (s.chargeLimit && *s.chargeLimit < 100) return "to " + std::to_string(*s.chargeLimit) + "%";
  return "to full";
}

std::string tooltip(const StatusSummary& s, const BarContext& c) {
  std::string state = s.state.value_or("unknown");  // in words: "not charging"
  std::replace(state.begin(), state.end(), '-', ' ');
  std::string text = s.model + "\n" + percentText(s) + ", " + state;
  if (const auto time = timeText(s)) {
    text += "\n" + *time + " " +
            (s.state == std::optional<std::string>("charging") ? chargeTarget(s) : "left");
  } else if (s.estimating) {
    text += "\nestimating the time";
  }
  if (s.powerW) text += "\n" + wattsText(*s.powerW);
  if (s.chargeLimit) {
    text += "\ncharge limit " + std::to_string(*s.chargeLimit) + "%" +
            (s.chargeFullOnce ? " (full once)" : "");
  }
  char line[64];
  if (s.health) {
    std::snprintf(line, sizeof line, "\nhealth %.1f%%", *s.health);
    text += line;
  }
  if (stale(s, c)) text += "\nas of " + isoLocalTime(*s.writtenAt);
  // The user's other batteries, a line each.
  for (const KnownDevice& d : s.devices)
    text += "\n" + deviceCaption(d) + ": " + deviceValue(d, c.now);
  return text;
}

}  // namespace

std::string markupEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

Urgency urgencyOf(const StatusSummary& s, const BarContext& c) {
  if (s.state != std::optional<std::string>("discharging")) return Urgency::none;
  if (!s.level) {
    if (s.levelWord == std::optional<std::string>("Critical")) return Urgency::critical;
    return s.levelWord == std::optional<std::string>("Low") ? Urgency::warning : Urgency::none;
  }
  if (c.criticalLevel > 0 && *s.level <= c.criticalLevel) return Urgency::critical;
  if (c.lowLevel > 0 && *s.level <= c.lowLevel) return Urgency::warning;
  return Urgency::none;
}

std::string barText(const StatusSummary& s) {
  if (!levelShown(s)) return std::string();
  const auto time = timeText(s);
  return percentText(s) + (time ? " " + *time : std::string());
}

std::string waybarLine(const StatusSummary& s, const BarContext& c) {
  if (!levelShown(s)) return jsonObject({{"text", std::string()}});
  const Urgency urgency = urgencyOf(s, c);
  std::vector<std::string> classes = {s.state.value_or("unknown")};
  if (urgency != Urgency::none)
    classes.push_back(urgency == Urgency::critical ? "critical" : "warning");
  if (stale(s, c)) classes.push_back("stale");
  std::vector<JsonMember> members;
  members.push_back({"text", barText(s)});
  members.push_back({"alt", s.state.value_or("unknown")});
  members.push_back({"tooltip", markupEscaped(tooltip(s, c))});
  members.push_back({"class", std::move(classes)});
  if (s.level) members.push_back({"percentage", int64_t{std::lround(*s.level)}});
  return jsonObject(members);
}

std::string i3blocksLines(const StatusSummary& s, const BarContext& c) {
  if (!levelShown(s)) return std::string();
  const char* colour = colourOf(s, urgencyOf(s, c));
  const std::string mark = stale(s, c) ? "?" : "";
  // The long text has room to say why the charge goes past the usual limit; the short one not.
  const std::string fullOnce = s.chargeFullOnce ? " (full once)" : "";
  return barText(s) + fullOnce + mark + "\n" + percentText(s) + mark + "\n" +
         (colour ? colour : "") + "\n";
}

int i3blocksExitStatus(const StatusSummary& s, const BarContext& c) {
  return urgencyOf(s, c) == Urgency::critical ? 33 : 0;
}

std::string polybarLine(const StatusSummary& s, const BarContext& c) {
  if (!levelShown(s)) return std::string();
  const char* colour = colourOf(s, urgencyOf(s, c));
  const std::string text = barText(s) + (stale(s, c) ? "?" : "");
  return colour ? std::string("%{F") + colour + "}" + text + "%{F-}" : text;
}
