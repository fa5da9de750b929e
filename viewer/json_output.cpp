#include "viewer/json_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "common/utf8.h"
#include "viewer/bid_battery_info.h"
#include "viewer/screen_state.h"

namespace {

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

// A value as the screen shows it, with two decimals; null when it is not a number.
std::string twoDecimals(float value) {
  if (!std::isfinite(value)) return "null";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  return text;
}

// The number at the start of one of the reader's texts ("1810 mAh"), which it formatted from a
// 32-bit integer.
std::string leadingInteger(const std::string& text) {
  return std::to_string(std::strtol(text.c_str(), nullptr, 10));
}

std::string orNull(const std::optional<int64_t>& value) {
  return value ? std::to_string(*value) : "null";
}

std::string textOrNull(const std::string& text) {
  return text == "(null)" ? "null" : quotedJson(text);
}

const char* boolean(bool value) {
  return value ? "true" : "false";
}

}  // namespace

std::string refreshJson(const std::string& model, const BIDBatteryInfo& info) {
  std::optional<int64_t> toEmpty, toFull;
  // The screen's hours reach 2^31-1 on absurd readings: the minutes are counted in 64 bits, and
  // an estimate below zero (a negative charge in the file) is no estimate.
  if (const auto estimate = remainingHoursMinutes(info)) {
    const int64_t minutes = int64_t{estimate->hours} * 60 + estimate->minutes;
    if (minutes >= 0) (info.instanceCurrent < 0 ? toEmpty : toFull) = minutes;
  }
  std::string json = "{\"model\":" + quotedJson(model);
  json += ",\"level\":" + twoDecimals(info.currentLevel);
  json += ",\"temperature\":" + twoDecimals(info.batteryTemperature);
  json += ",\"current\":" + std::to_string(info.instanceCurrent);
  json += ",\"time_to_empty_min\":" + orNull(toEmpty);
  json += ",\"time_to_full_min\":" + orNull(toFull);
  json += ",\"health\":" + twoDecimals(info.batteryHealth);
  json += ",\"cycle_count\":" + leadingInteger(info.cycleMsg);
  json += ",\"capacity_mAh\":" + std::to_string(info.currentCap);
  json += ",\"full_charge_capacity_mAh\":" + std::to_string(info.maxCap);
  json += ",\"design_capacity_mAh\":" + leadingInteger(info.designMsg);
  json += ",\"voltage_mV\":" + leadingInteger(info.voltageMsg);
  json += ",\"charger_current_mA\":" +
          (info.chargerIsPluggedIn ? leadingInteger(info.chargingCurrentMsg) : "null");
  json += ",\"charger_connected\":" + std::string(boolean(info.chargerIsPluggedIn));
  json += ",\"is_charging\":" + std::string(boolean(info.charging));
  json += ",\"fully_charged\":" + std::string(boolean(info.isFullyCharged));
  json += ",\"manufacturer\":" + textOrNull(info.manufacturerMsg);
  json += ",\"serial\":" + textOrNull(info.serialNumberMsg);
  return json + "}";
}
