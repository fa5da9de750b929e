#include "viewer/output/json_output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "viewer/devices/known_device.h"
#include "viewer/table/bid_battery_info.h"
#include "viewer/table/status_summary.h"

using Json = nlohmann::ordered_json;  // members in the order the outputs document

namespace {

struct ToJson {
  Json operator()(std::monostate) const { return nullptr; }
  Json operator()(bool flag) const { return flag; }
  Json operator()(int64_t number) const { return number; }
  Json operator()(TwoDecimals figure) const {
    return std::isfinite(figure.value) ? Json(figure.value) : Json(nullptr);
  }
  Json operator()(const std::string& text) const { return text; }
  Json operator()(const std::vector<std::string>& texts) const { return texts; }
  Json operator()(const JsonObjects& list) const {
    Json array = Json::array();
    for (const auto& members : list.objects) {
      Json object = Json::object();
      for (const JsonMember& m : members) object[m.name] = std::visit(ToJson{}, m.value);
      array.push_back(std::move(object));
    }
    return array;
  }
};

// The library prints a number in its shortest form (62.0); the outputs have always printed
// these with two decimals (62.00), so their digits are written in after the dump. A member's
// name in quotes followed by a colon is found only as that member: every quote inside a text
// is escaped.
void writeTwoDecimals(std::string& dumped, const char* name, double value) {
  const std::string key = std::string("\"") + name + "\":";
  const size_t from = dumped.find(key) + key.size();
  const size_t to = dumped.find_first_of(",}", from);
  char digits[400];  // %.2f of the largest double fits
  std::snprintf(digits, sizeof digits, "%.2f", value);
  dumped.replace(from, to - from, digits);
}

template <typename Number>
JsonValue orNull(const std::optional<Number>& value) {
  if (!value) return {};
  return static_cast<int64_t>(*value);
}

JsonValue orNull(const std::optional<bool>& value) {
  return value ? JsonValue(*value) : JsonValue();
}

JsonValue orNull(const std::optional<std::string>& text) {
  return text ? JsonValue(*text) : JsonValue();
}

JsonValue twoDecimals(const std::optional<double>& value) {
  return value ? JsonValue(TwoDecimals{*value}) : JsonValue();
}

}  // namespace

std::string jsonObject(const std::vector<JsonMember>& members) {
  Json object = Json::object();
  for (const JsonMember& m : members) object[m.name] = std::visit(ToJson{}, m.value);
  std::string dumped = object.dump(-1, ' ', false, Json::error_handler_t::replace);
  for (const JsonMember& m : members) {
    const auto* figure = std::get_if<TwoDecimals>(&m.value);
    if (figure && std::isfinite(figure->value)) writeTwoDecimals(dumped, m.name, figure->value);
  }
  return dumped;
}

namespace {

// A laptop's last sleep: when it ended, how long, the level's change and the percent an hour
// (null on external power, where it cost the battery nothing), all null without one. A phone's
// status has none of these members.
void addLastSleep(const StatusSummary& s, std::vector<JsonMember>& members) {
  if (!s.laptop) return;
  std::optional<std::string> end;
  std::optional<int64_t> seconds;
  std::optional<double> change, perHour;
  std::optional<bool> external;
  if (const auto& sleep = s.lastSleep) {
    end = isoLocalTime(sleep->end);
    seconds = std::llround(std::trunc(sleep->end - sleep->start));  // cut, as the line says it
    external = sleep->externalPower;
    if (!sleep->externalPower) {
      change = sleep->levelAfter - sleep->levelBefore;
      perHour = sleep->percentPerHour;
    }
  }
  members.push_back({"last_sleep_end", orNull(end)});
  members.push_back({"last_sleep_s", orNull(seconds)});
  members.push_back({"last_sleep_level_change", twoDecimals(change)});
  members.push_back({"last_sleep_percent_per_hour", twoDecimals(perHour)});
  members.push_back({"last_sleep_external_power", orNull(external)});
}

}  // namespace

JsonObjects devicesJson(const std::vector<KnownDevice>& devices) {
  JsonObjects list;
  for (const KnownDevice& d : devices) {
    std::optional<std::string> lastSeen;
    if (d.lastSeen) lastSeen = isoLocalTime(*d.lastSeen);
    list.objects.push_back({{"id", d.id},
                            {"name", d.name},
                            {"kind", d.kind},
                            {"level", orNull(d.level)},
                            {"level_word", orNull(d.word)},
                            {"state", d.state},
                            {"connected", d.connected},
                            {"last_seen", orNull(lastSeen)}});
  }
  return list;
}

std::string summaryJson(const StatusSummary& s, double now) {
  std::optional<std::string> updated;
  std::optional<int64_t> age;
  if (s.writtenAt) {
    updated = isoLocalTime(*s.writtenAt);
    age = std::max<int64_t>(0, std::llround(now - *s.writtenAt));
  }
  std::vector<JsonMember> members({{"model", s.model},
                                   {"level", twoDecimals(s.level)},
                                   {"temperature", twoDecimals(s.temperature)},
                                   {"current", orNull(s.current)},
                                   {"time_to_empty_min", orNull(s.minutesToEmpty)},
                                   {"time_to_full_min", orNull(s.minutesToFull)},
                                   {"health", twoDecimals(s.health)},
                                   {"cycle_count", orNull(s.cycleCount)},
                                   {"capacity_mAh", orNull(s.capacity)},
                                   {"full_charge_capacity_mAh", orNull(s.fullCapacity)},
                                   {"design_capacity_mAh", orNull(s.designCapacity)},
                                   {"voltage_mV", orNull(s.voltage)},
                                   {"charger_current_mA", orNull(s.chargerCurrent)},
                                   {"charger_connected", orNull(s.chargerConnected)},
                                   {"is_charging", orNull(s.charging)},
                                   {"fully_charged", orNull(s.fullyCharged)},
                                   {"manufacturer", orNull(s.manufacturer)},
                                   {"serial", orNull(s.serial)},
                                   {"power_W", twoDecimals(s.powerW)},
                                   {"state", orNull(s.state)},
                                   {"charge_limit", orNull(s.chargeLimit)},
                                   {"updated", orNull(updated)},
                                   {"age_s", orNull(age)}});
  if (s.energyWh && s.energyFullWh) {
    // After the power: a laptop's energies, where its drivers report energy.
    const auto at = std::find_if(members.begin(), members.end(), [](const JsonMember& m) {
      return std::string(m.name) == "power_W";
    });
    members.insert(at + 1, {{"energy_Wh", TwoDecimals{*s.energyWh}},
                            {"energy_full_Wh", TwoDecimals{*s.energyFullWh}}});
  }
  if (s.levelWord) {
    // Beside the level it stands for, where no percent can be had.
    const auto at = std::find_if(members.begin(), members.end(), [](const JsonMember& m) {
      return std::string(m.name) == "level";
    });
    members.insert(at + 1, {"level_word", *s.levelWord});
  }
  if (s.chargeFullOnce) {
    // Beside the limit it lifted, only while it holds.
    const auto at = std::find_if(members.begin(), members.end(), [](const JsonMember& m) {
      return std::string(m.name) == "charge_limit";
    });
    members.insert(at + 1, {"charge_full_once", true});
  }
  addLastSleep(s, members);
  // Where the host lists any device (never on a phone).
  if (!s.devices.empty()) members.push_back({"devices", devicesJson(s.devices)});
  return jsonObject(members);
}

std::string refreshJson(const std::string& model, const BIDBatteryInfo& info, double now) {
  return summaryJson(summarize(model, info), now);
}
