#include "viewer/output/history_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "viewer/output/json_output.h"
#include "viewer/table/status_summary.h"

using history::HealthEntry;
using history::Sample;
using history::SleepEntry;

namespace {

// One table's column: its name and value, printed as CSV or as JSON.
using Field = JsonMember;

JsonValue twoDecimals(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return {};
  return TwoDecimals{*value};
}

// A whole number of the history's; none where it is not known or beyond what a number holds.
JsonValue whole(std::optional<double> value) {
  if (!value || !(std::fabs(*value) < 9e18)) return {};
  return static_cast<int64_t>(std::llround(*value));
}

// A CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string csvText(const JsonValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return csvField(*text);
  if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  if (const auto* figure = std::get_if<TwoDecimals>(&value)) {
    char text[400];  // %.2f of the largest double fits
    std::snprintf(text, sizeof text, "%.2f", figure->value);
    return text;
  }
  return std::string();
}

std::vector<Field> sampleFields(const Sample& s) {
  return {{"time", isoLocalTime(s.time)},
          {"level", twoDecimals(s.level)},
          {"power_W", twoDecimals(s.powerW)},
          {"state", s.state},
          {"time_to_empty_min", whole(s.minutesToEmpty)},
          {"time_to_full_min", whole(s.minutesToFull)}};
}

std::vector<Field> healthFields(const HealthEntry& e) {
  std::optional<double> health;
  if (e.designCapacity > 0) health = 100.0 * e.fullChargeCapacity / e.designCapacity;
  return {{"date", isoLocalTime(e.time)},
          {"full_charge_capacity_mAh", int64_t{e.fullChargeCapacity}},
          {"design_capacity_mAh", int64_t{e.designCapacity}},
          {"health", twoDecimals(health)},
          {"cycle_count", e.cycleCount ? JsonValue(int64_t{*e.cycleCount}) : JsonValue()},
          {"serial", e.serial}};
}

// Absent values are absent, never 0: where the kernel or the driver did not tell them.
std::vector<Field> sleepFields(const SleepEntry& e) {
  return {{"start", isoLocalTime(e.start)},
          {"end", isoLocalTime(e.end)},
          {"duration_s", whole(std::trunc(e.end - e.start))},  // cut, as every output says it
          {"level_before", twoDecimals(e.levelBefore)},
          {"level_after", twoDecimals(e.levelAfter)},
          {"energy_lost_Wh", twoDecimals(e.energyLostWh)},
          {"mean_mW", whole(e.meanMilliwatts)},
          {"percent_per_hour", twoDecimals(e.percentPerHour)},
          {"state", e.state.empty() ? JsonValue() : JsonValue(e.state)},
          {"external_power", e.externalPower},
          {"hw_sleep_s", whole(e.hwSleepSeconds)},
          {"wakeup", e.wakeup ? JsonValue(*e.wakeup) : JsonValue()}};
}

template <typename Row>
std::string csv(const std::vector<Row>& rows, std::vector<Field> (*fields)(const Row&)) {
  std::string out;
  for (const Field& f : fields(Row{})) out += std::string(out.empty() ? "" : ",") + f.name;
  out += "\n";
  for (const Row& row : rows) {
    std::string line;
    bool first = true;
    for (const Field& f : fields(row)) {
      line += (first ? "" : ",") + csvText(f.value);
      first = false;
    }
    out += line + "\n";
  }
  return out;
}

// One object a line, so that a script may read it a line at a time.
template <typename Row>
std::string json(const std::vector<Row>& rows, std::vector<Field> (*fields)(const Row&)) {
  if (rows.empty()) return "[]\n";
  std::string out = "[\n";
  for (const Row& row : rows) out += (out.size() > 2 ? ",\n" : "") + jsonObject(fields(row));
  return out + "\n]\n";
}

}  // namespace

std::string samplesCsv(const std::vector<Sample>& samples) {
  return csv(samples, sampleFields);
}

std::string samplesJson(const std::vector<Sample>& samples) {
  return json(samples, sampleFields);
}

std::string healthCsv(const std::vector<HealthEntry>& log) {
  return csv(log, healthFields);
}

std::string healthJson(const std::vector<HealthEntry>& log) {
  return json(log, healthFields);
}

std::string sleepsCsv(const std::vector<SleepEntry>& sleeps) {
  return csv(sleeps, sleepFields);
}

std::string sleepsJson(const std::vector<SleepEntry>& sleeps) {
  return json(sleeps, sleepFields);
}

bool parseSince(const std::string& text, double& seconds) {
  if (text.size() < 2) return false;
  const char unit = text.back();
  const std::string number = text.substr(0, text.size() - 1);
  const double unitSeconds = unit == 'm' ? 60 : unit == 'h' ? 3600 : unit == 'd' ? 86400 : 0;
  if (unitSeconds == 0 || number.find_first_not_of("0123456789.") != std::string::npos) {
    return false;
  }
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !(value > 0) || !std::isfinite(value)) return false;
  seconds = value * unitSeconds;
  return true;
}
