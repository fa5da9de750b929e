#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charge/charge_request.h"

// What the charge service writes, and keeps, for each request and each moment it puts the
// limits back: pure, so that the order of writes and every refusal can be checked without a
// kernel.
namespace brimwell::charge {

enum class Threshold { End, Start };
// The power-supply attribute that holds it.
const char* attributeName(Threshold threshold);

// A system battery as its driver holds it now; a threshold the driver does not offer is absent.
struct BatteryThresholds {
  std::string name;
  std::optional<int> end, start;
};

// What the service keeps for one battery: the limits to put back, the boot in which a "full
// once" lifted them (empty when none waits), and whether external power has been there since:
// a full once asked on battery waits for the charger to come and then go.
struct KeptLimits {
  std::optional<int> end, start;
  std::string fullOnceBoot;
  bool fullOncePowered = false;
  bool operator==(const KeptLimits& o) const {
    return end == o.end && start == o.start && fullOnceBoot == o.fullOnceBoot &&
           fullOncePowered == o.fullOncePowered;
  }
};
using KeptState = std::map<std::string, KeptLimits>;

struct ThresholdWrite {
  std::string battery;
  Threshold threshold;
  int value;
  int previous;  // what to write back when a later write of the same plan is refused
};

// The writes in the order that keeps the start below the end at every step, and what to keep
// once they all went through; or the error (a bus error name) and its line for the caller.
struct Plan {
  std::vector<ThresholdWrite> writes;
  KeptState kept;
  const char* errorName = nullptr;
  std::string refusal;
};

Plan planLimits(const LimitsRequest& request, const std::vector<BatteryThresholds>& batteries,
                const KeptState& kept);
Plan planFullOnce(std::string_view battery, const std::vector<BatteryThresholds>& batteries,
                  const KeptState& kept, std::string_view bootId, bool externalPower);
// At a start, a wake or a battery's arrival (every battery), or external power coming or going
// (only the batteries whose "full once" waits: a limit set by hand on another stays): the kept
// limits written again where the driver lost them, and a "full once" of another boot, or whose
// external power came and went, ended.
enum class PutBack { every, fullOnceWaiting };
Plan planPutBack(const std::vector<BatteryThresholds>& batteries, const KeptState& kept,
                 std::string_view bootId, bool externalPower, PutBack which = PutBack::every);

// A "full once" lifted the limit of this battery in this boot and waits for external power to go.
bool fullOncePending(const KeptState& kept, const std::string& battery, std::string_view bootId);

}  // namespace brimwell::charge
