#include "viewer/json_output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "common/utf8.h"
#include "viewer/bid_battery_info.h"
#include "viewer/screen_state.h"
#include "viewer/status_summary.h"

std::string quotedJson(const std::string& text) {
  std::string out = "\"";
  for (size_t at = 0; at < text.size();) {
    const size_t length = brimwell::utf8SequenceAt(text, at);
    const auto c = static_cast<unsigned char>(text[at]);
    if (length == 0) {
      out += "\\ufffd";  // JSON is UTF-8; a byte that is not stands for U+FFFD
      ++at;
      continue;
    }
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out + "\"";
}

namespace {

std::string twoDecimals(const std::optional<double>& value) {
  if (!value) return "null";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", *value);
  return text;
}

template <typename Number>
std::string orNull(const std::optional<Number>& value) {
  return value ? std::to_string(*value) : "null";
}

std::string orNull(const std::optional<bool>& value) {
  return value ? (*value ? "true" : "false") : "null";
}

std::string orNull(const std::optional<std::string>& text) {
  return text ? quotedJson(*text) : "null";
}

}  // namespace

std::string summaryJson(const StatusSummary& s, double now) {
  std::optional<std::string> updated;
  std::optional<int64_t> age;
  if (s.writtenAt) {
    updated = isoLocalTime(*s.writtenAt);
    age = std::max<int64_t>(0, std::llround(now - *s.writtenAt));
  }
  std::string json = "{\"model\":" + quotedJson(s.model);
  json += ",\"level\":" + twoDecimals(s.level);
  json += ",\"temperature\":" + twoDecimals(s.temperature);
  json += ",\"current\":" + orNull(s.current);
  json += ",\"time_to_empty_min\":" + orNull(s.minutesToEmpty);
  json += ",\"time_to_full_min\":" + orNull(s.minutesToFull);
  json += ",\"health\":" + twoDecimals(s.health);
  json += ",\"cycle_count\":" + orNull(s.cycleCount);
  json += ",\"capacity_mAh\":" + orNull(s.capacity);
  json += ",\"full_charge_capacity_mAh\":" + orNull(s.fullCapacity);
  json += ",\"design_capacity_mAh\":" + orNull(s.designCapacity);
  json += ",\"voltage_mV\":" + orNull(s.voltage);
  json += ",\"charger_current_mA\":" + orNull(s.chargerCurrent);
  json += ",\"charger_connected\":" + orNull(s.chargerConnected);
  json += ",\"is_charging\":" + orNull(s.charging);
  json += ",\"fully_charged\":" + orNull(s.fullyCharged);
  json += ",\"manufacturer\":" + orNull(s.manufacturer);
  json += ",\"serial\":" + orNull(s.serial);
  json += ",\"power_W\":" + twoDecimals(s.powerW);
  json += ",\"state\":" + orNull(s.state);
  json += ",\"charge_limit\":" + orNull(s.chargeLimit);
  json += ",\"updated\":" + orNull(updated);
  json += ",\"age_s\":" + orNull(age);
  return json + "}";
}

std::string refreshJson(const std::string& model, const BIDBatteryInfo& info, double now) {
  return summaryJson(summarize(model, info), now);
}
