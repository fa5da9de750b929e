// What any caller may send the charge service, against any thresholds a driver may hold and any
// kept file: the checks and the plans must never write a value a driver was not asked for, nor
// leave the start at or above the end between two writes. The text is lines:
//   set BATTERY END START    a SetLimits call (numbers as the bus carries them, any 32 bits)
//   once BATTERY             a ChargeFullOnce call
//   has NAME END START       a battery and its thresholds ("-": the driver has none)
//   kept NAME END START      what the service kept for it
//   power 0|1                external power at a put-back
// and the whole text is also read as a kept file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "charge/charge_request.h"
#include "charge/kept_limits.h"
#include "charge/limits_plan.h"

namespace {

using namespace brimwell::charge;

// As the service reads a driver's attribute: a whole number from 0 to 100, or none.
std::optional<int> threshold(const std::string& word) {
  if (word == "-" || word.empty()) return std::nullopt;
  const long value = std::strtol(word.c_str(), nullptr, 10);
  return value >= 0 && value <= 100 ? std::optional<int>(static_cast<int>(value)) : std::nullopt;
}

// Applies the writes one by one to what the drivers hold; a start at or above its end after any
// step, where it was below before, is a plan a driver may refuse halfway.
void replay(const Plan& plan, std::vector<BatteryThresholds> batteries) {
  for (const auto& w : plan.writes) {
    if (w.value < 0 || w.value > 100) std::abort();
    auto b = std::find_if(batteries.begin(), batteries.end(),
                          [&](const BatteryThresholds& t) { return t.name == w.battery; });
    if (b == batteries.end()) std::abort();  // a battery no driver offered
    const bool validBefore = !b->start || !b->end || *b->start < *b->end;
    std::optional<int>& held = w.threshold == Threshold::End ? b->end : b->start;
    if (!held || *held != w.previous) std::abort();
    held = w.value;
    if (validBefore && b->start && b->end && *b->start >= *b->end && *b->end > 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto kept = keptFromJson(text)) {
    if (keptFromJson(keptToJson(*kept)) != kept) std::abort();
  }
  std::vector<BatteryThresholds> batteries;
  KeptState kept;
  std::vector<std::pair<std::string, std::string>> calls;  // word, rest of the line
  bool power = true;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string word, name, a, b;
    words >> word >> name >> a >> b;
    const bool listed = std::any_of(batteries.begin(), batteries.end(),
                                    [&](const BatteryThresholds& t) { return t.name == name; });
    if (word == "has" && isBatteryName(name) && !listed) {
      batteries.push_back({name, threshold(a), threshold(b)});  // a folder names each once
    }
    if (word == "kept" && isBatteryName(name)) kept[name] = {threshold(a), threshold(b), ""};
    if (const auto read = keptFromJson(keptToJson(kept)); read != kept) kept.clear();
    if (word == "power") power = name == "1";
    if (word == "set" || word == "once") calls.emplace_back(word, line);
  }
  for (const auto& [word, line] : calls) {
    std::istringstream words(line);
    std::string skip, battery, end, start;
    words >> skip >> battery >> end >> start;
    if (battery == "\"\"") battery.clear();
    Plan plan;
    if (word == "once") {
      plan = planFullOnce(battery, batteries, kept, "boot", power);
    } else {
      const auto checked =
          checkLimits(battery, static_cast<uint32_t>(std::strtoul(end.c_str(), nullptr, 10)),
                      static_cast<uint32_t>(std::strtoul(start.c_str(), nullptr, 10)));
      if (checked.request.has_value() == !checked.refusal.empty()) std::abort();
      if (!checked.request) continue;
      plan = planLimits(*checked.request, batteries, kept);
    }
    if (plan.errorName && !plan.writes.empty()) std::abort();
    replay(plan, batteries);
    if (!plan.errorName) kept = plan.kept;
    if (keptFromJson(keptToJson(kept)) != kept) std::abort();  // kept, but lost at the next start
    replay(planPutBack(batteries, kept, "boot", power), batteries);
  }
  return 0;
}
