#include "charge/limits_plan.h"

#include "charge/charge_bus.h"

namespace brimwell::charge {
namespace {

constexpr int kFull = 100;
// While a "full once" waits, charging resumes below this, so it begins whatever the level.
constexpr int kFullOnceStart = 99;

Plan refused(const char* errorName, std::string line) {
  Plan p;
  p.errorName = errorName;
  p.refusal = std::move(line);
  return p;
}

std::string names(const std::vector<BatteryThresholds>& batteries) {
  std::string out;
  for (const auto& b : batteries) out += (out.empty() ? "" : ", ") + b.name;
  return out.empty() ? "none" : out;
}

// The steps from what the driver holds to the target. A start the caller did not give that
// would not be below the new end is taken down with it: a driver may refuse it, and charging
// would never start again.
// Gives the start the driver holds after them.
std::optional<int> appendSteps(const BatteryThresholds& now, std::optional<int> end,
                               std::optional<int> start, bool startGiven,
                               std::vector<ThresholdWrite>& writes) {
  if (!end) end = now.end;
  if (!start) start = now.start;
  if (!startGiven && start && end && *start >= *end && *end >= 1) start = *end - 1;
  const bool endChanges = end && now.end && *end != *now.end;
  const bool startChanges = start && now.start && *start != *now.start;
  const bool startFirst = startChanges && (!now.end || *start < *now.end);
  if (startFirst) writes.push_back({now.name, Threshold::Start, *start, *now.start});
  if (endChanges) writes.push_back({now.name, Threshold::End, *end, *now.end});
  if (startChanges && !startFirst)
    writes.push_back({now.name, Threshold::Start, *start, *now.start});
  return now.start ? start : std::nullopt;
}

// The batteries a request names: one by its name, or every one that offers what is asked.
std::vector<const BatteryThresholds*> chosen(std::string_view battery, bool end, bool start,
                                             const std::vector<BatteryThresholds>& batteries,
                                             Plan& plan) {
  std::vector<const BatteryThresholds*> out;
  for (const auto& b : batteries) {
    const bool offers = (!end || b.end) && (!start || b.start);
    if (battery.empty() ? offers : b.name == battery) out.push_back(&b);
  }
  const char* what = start && !end ? "no start threshold" : "no charge limit";
  if (!battery.empty() && out.empty()) {
    plan = refused(kErrorNoSuchBattery, "no system battery is named " + std::string(battery) +
                                            " (there are " + names(batteries) + ")");
  } else if (out.empty()) {
    plan = refused(kErrorNoLimit, std::string("this machine offers ") + what);
  } else if (!battery.empty() && ((end && !out[0]->end) || (start && !out[0]->start))) {
    const char* missing = end && !out[0]->end ? "no charge limit" : "no start threshold";
    plan = refused(kErrorNoLimit, std::string(battery) + " offers " + missing);
    out.clear();
  }
  return out;
}

// The start while a "full once" holds, where the driver has one.
std::optional<int> fullOnceStart(const BatteryThresholds& b) {
  return b.start ? std::optional<int>(kFullOnceStart) : std::nullopt;
}

}  // namespace

const char* attributeName(Threshold threshold) {
  return threshold == Threshold::End ? "charge_control_end_threshold"
                                     : "charge_control_start_threshold";
}

bool fullOncePending(const KeptState& kept, const std::string& battery, std::string_view bootId) {
  const auto it = kept.find(battery);
  return it != kept.end() && !it->second.fullOnceBoot.empty() && it->second.fullOnceBoot == bootId;
}

Plan planLimits(const LimitsRequest& request, const std::vector<BatteryThresholds>& batteries,
                const KeptState& kept) {
  Plan plan;
  const auto targets =
      chosen(request.battery, request.end.has_value(), request.start.has_value(), batteries, plan);
  if (targets.empty()) return plan;
  plan.kept = kept;
  for (const BatteryThresholds* b : targets) {
    const int end = request.end.value_or(b->end.value_or(kFull));
    if (request.start && b->end && *request.start >= end) {
      return refused(kErrorInvalidArgs,
                     "charging starts again below the limit: " + std::to_string(*request.start) +
                         " is not below " + std::to_string(end) + " (" + b->name + ")");
    }
    const auto start =
        appendSteps(*b, request.end, request.start, request.start.has_value(), plan.writes);
    KeptLimits& k = plan.kept[b->name];
    if (request.end) k.end = request.end;
    if (request.start) k.start = request.start;
    // A start taken down with the limit is the start kept from now on.
    if (k.start && start && *start < *k.start) k.start = start;
    k.fullOnceBoot.clear();
    k.fullOncePowered = false;
  }
  return plan;
}

Plan planFullOnce(std::string_view battery, const std::vector<BatteryThresholds>& batteries,
                  const KeptState& kept, std::string_view bootId, bool externalPower) {
  Plan plan;
  const auto targets = chosen(battery, true, false, batteries, plan);
  if (targets.empty()) return plan;
  // Without it, a full once could not end with the boot, and would be taken for an earlier
  // boot's at the next start.
  if (bootId.empty()) {
    return refused(kErrorFailed,
                   "cannot lift the limit once: the service cannot read this boot's id, "
                   "so it could not put the limit back at the next boot");
  }
  plan.kept = kept;
  for (const BatteryThresholds* b : targets) {
    if (fullOncePending(kept, b->name, bootId)) continue;
    // What goes back is what the user chose, or else what the driver held.
    KeptLimits k = plan.kept.count(b->name) ? plan.kept[b->name] : KeptLimits{};
    // A driver's 0 is no limit to put back, nor a start at or above its end.
    if (!k.end && *b->end >= 1) k.end = b->end;
    if (!k.start && b->start && (!k.end || *b->start < *k.end)) k.start = b->start;
    if (!k.end || (*k.end >= kFull && *b->end >= kFull)) continue;  // nothing to lift
    k.fullOnceBoot = std::string(bootId);
    k.fullOncePowered = externalPower;
    plan.kept[b->name] = k;
    appendSteps(*b, kFull, fullOnceStart(*b), true, plan.writes);
  }
  return plan;
}

Plan planPutBack(const std::vector<BatteryThresholds>& batteries, const KeptState& kept,
                 std::string_view bootId, bool externalPower, PutBack which) {
  Plan plan;
  plan.kept = kept;
  for (const auto& b : batteries) {
    const auto it = plan.kept.find(b.name);
    const bool waiting = fullOncePending(kept, b.name, bootId);
    if (it == plan.kept.end() || (which == PutBack::fullOnceWaiting && !waiting)) continue;
    KeptLimits& k = it->second;
    if (waiting && (externalPower || !k.fullOncePowered)) {
      // Still charging, or not yet plugged in: lifted again where the driver lost it.
      k.fullOncePowered = k.fullOncePowered || externalPower;
      appendSteps(b, kFull, fullOnceStart(b), true, plan.writes);
      continue;
    }
    k.fullOnceBoot.clear();
    k.fullOncePowered = false;
    appendSteps(b, k.end, k.start, false, plan.writes);
  }
  return plan;
}

}  // namespace brimwell::charge
