#include "viewer/history_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "viewer/json_output.h"
#include "viewer/status_summary.h"

using history::HealthEntry;
using history::Sample;

namespace {

// One table's columns: each value already as CSV and JSON take it, none where not known.
struct Field {
  const char* name;
  std::optional<std::string> csv, json;
};

std::optional<std::string> fixed(std::optional<double> value, const char* format) {
  if (!value || !std::isfinite(*value)) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, format, *value);
  return std::string(text);
}

std::optional<std::string> whole(std::optional<double> value) {
  return fixed(value ? std::optional<double>(std::round(*value)) : std::nullopt, "%.0f");
}

// A CSV field: quoted when it holds a comma, a quote or a line break, quotes doubled.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

Field text(const char* name, const std::string& value) {
  return {name, csvField(value), quotedJson(value)};
}

Field number(const char* name, const std::optional<std::string>& value) {
  return {name, value, value};
}

std::vector<Field> sampleFields(const Sample& s) {
  return {text("time", isoLocalTime(s.time)),
          number("level", fixed(s.level, "%.2f")),
          number("power_W", fixed(s.powerW, "%.2f")),
          text("state", s.state),
          number("time_to_empty_min", whole(s.minutesToEmpty)),
          number("time_to_full_min", whole(s.minutesToFull))};
}

std::vector<Field> healthFields(const HealthEntry& e) {
  std::optional<double> health;
  if (e.designCapacity > 0) health = 100.0 * e.fullChargeCapacity / e.designCapacity;
  std::optional<double> cycles;
  if (e.cycleCount) cycles = *e.cycleCount;
  return {text("date", isoLocalTime(e.time)),
          number("full_charge_capacity_mAh", whole(static_cast<double>(e.fullChargeCapacity))),
          number("design_capacity_mAh", whole(static_cast<double>(e.designCapacity))),
          number("health", fixed(health, "%.2f")),
          number("cycle_count", whole(cycles)),
          text("serial", e.serial)};
}

template <typename Row>
std::string csv(const std::vector<Row>& rows, std::vector<Field> (*fields)(const Row&)) {
  std::string out;
  for (const Field& f : fields(Row{})) out += std::string(out.empty() ? "" : ",") + f.name;
  out += "\n";
  for (const Row& row : rows) {
    std::string line;
    for (const Field& f : fields(row)) line += (line.empty() ? "" : ",") + f.csv.value_or("");
    out += line + "\n";
  }
  return out;
}

template <typename Row>
std::string json(const std::vector<Row>& rows, std::vector<Field> (*fields)(const Row&)) {
  std::string out = "[";
  for (const Row& row : rows) {
    std::string object;
    for (const Field& f : fields(row)) {
      object += std::string(object.empty() ? "{" : ",") + quotedJson(f.name) + ":" +
                f.json.value_or("null");
    }
    out += (out.size() > 1 ? ",\n" : "\n") + object + "}";
  }
  return out + (rows.empty() ? "]\n" : "\n]\n");
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

bool parseSince(const std::string& text, double& seconds) {
  if (text.size() < 2) return false;
  const char unit = text.back();
  const std::string number = text.substr(0, text.size() - 1);
  if ((unit != 'h' && unit != 'd') ||
      number.find_first_not_of("0123456789.") != std::string::npos) {
    return false;
  }
  char* end = nullptr;
  const double value = std::strtod(number.c_str(), &end);
  if (end != number.c_str() + number.size() || !(value > 0) || !std::isfinite(value)) return false;
  seconds = value * (unit == 'h' ? 3600 : 86400);
  return true;
}
