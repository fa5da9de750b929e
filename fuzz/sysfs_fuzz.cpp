// The machine's power supplies as any driver might show them, read over a series of looks the
// way the host reads them. The text is "[name]" to start a supply, "attribute=value" lines, and
// "--- SECONDS" to take a look and let time pass (any number, so huge and negative gaps come).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "host/estimate/charge_estimate.h"
#include "host/estimate/percent_steps.h"
#include "host/sources/sysfs_battery.h"

namespace {

bool finiteAtLeastZero(const std::optional<double>& minutes) {
  return !minutes || (std::isfinite(*minutes) && *minutes >= 0);
}

void look(const std::vector<host::PowerSupply>& supplies, double time,
          host::estimate::SteadyRate& rate, host::estimate::PercentStepsLearner& steps,
          const history::ChargeProfile& learned) {
  (void)host::statusFromPowerSupplies(supplies);
  std::vector<std::string> unknownLevel;
  std::optional<host::SysfsReading> reading = host::readSysfs(supplies, &unknownLevel);
  if (!reading) return;
  reading->estimate.time = time;
  rate.add(reading->estimate, time < 0);
  steps.add(reading->estimate);
  const std::optional<double> watts = rate.watts();
  if (watts && !std::isfinite(*watts)) __builtin_trap();
  const double next =
      host::estimate::secondsUntilNextLook(reading->estimate, watts, rate.settled(), steps.steps());
  if (!(next >= host::estimate::kSoonestLook && next <= host::estimate::kLatestLook))
    __builtin_trap();
  for (const history::ChargeProfile* profile : {&learned, (const history::ChargeProfile*)nullptr}) {
    const host::estimate::Times times = host::estimate::timesFor(reading->estimate, watts, profile);
    if (!finiteAtLeastZero(times.toEmptyMinutes) || !finiteAtLeastZero(times.toFullMinutes))
      __builtin_trap();
    host::addHostFigures(*reading, times, reading->status);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
  // A learned profile from the first bytes, so that the top of a charge is reached with one.
  history::ChargeProfile learned;
  learned.charges = host::estimate::kChargesToLearnFrom;
  for (size_t i = 0; i < learned.secondsPerPercent.size() && i < size; ++i)
    if (data[i] & 1) learned.secondsPerPercent[i] = data[i] * 7.5;

  std::vector<host::PowerSupply> supplies;
  host::estimate::SteadyRate rate;
  host::estimate::PercentStepsLearner steps;
  double time = 0;
  std::string line;
  while (std::getline(text, line)) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      supplies.push_back({line.substr(1, line.size() - 2), {}});
    } else if (line.rfind("---", 0) == 0) {
      look(supplies, time, rate, steps, learned);
      time += std::strtod(line.c_str() + 3, nullptr);
    } else if (const size_t equals = line.find('='); equals != std::string::npos) {
      if (supplies.empty()) supplies.push_back({"BAT0", {}});
      supplies.back().attributes[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  look(supplies, time, rate, steps, learned);
  return 0;
}
