#include "host/app/host_startup.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "common/status_keys.h"
#include "common/text_out.h"
#include "common/value_conversions.h"
#include "host/classes/host_classes.h"
#include "host/sources/replay_source.h"
#include "host/sources/sysfs_source.h"
#include "platform/foundation/device_environment.h"
#include "platform/runtime/loader.h"
#include "power_supply/power_supply.h"

namespace host {

void startHost(platform::Presenter* presenter, std::function<void()> onHostStatusChange) {
  platform::setPresenter(presenter);
  registerHostClasses(HostListener{std::move(onHostStatusChange)});
  if (platform::loadDynamicLibraries() == 0) {
    // Without a plug-in nothing writes the status file and nothing alerts: worth a line.
    brimwell::writeText(stderr,
                        noticePrefix() + "no plug-in loaded from " +
                            platform::deviceFilePath("/Library/MobileSubstrate/DynamicLibraries") +
                            ": status changes reach no status file\n");
  }
}

std::unique_ptr<BatterySource> makeSource(const HostOptions& o, std::string& why) {
  if (!o.replay.empty()) return loadReplay(o.replay, o.effectiveSpeed(), why);
  if (!o.sysfs.empty()) {
    // The kernel makes its power-supply folder at boot, battery or not: one that is not there
    // is a mistyped path, and waiting for it would never end.
    if (const auto problem = power_supply::folderProblem(o.sysfs)) {
      why = *problem;
      return nullptr;
    }
    return std::make_unique<SysfsSource>(o.sysfs, o.pollSeconds, secondsAsleep,
                                         o.chargeState.value_or(SysfsSource::kDefaultChargeState));
  }
  return std::make_unique<SimulatedSource>(o.startPercent, o.charger, o.effectiveSpeed(), o.seed);
}

std::string noticePrefix() {
  return std::string(program_invocation_short_name) + ": ";
}

std::string clockPrefix(double seconds) {
  const long total = std::lround(std::floor(seconds));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "[%02ld:%02ld:%02ld] ", total / 3600, total / 60 % 60,
                total % 60);
  return buffer;
}

std::string statusSummary(const brimwell::Plist& status) {
  namespace key = brimwell::key;
  const int32_t current = brimwell::intValueOf(status.item(key::kRawCurrentCapacity));
  const int32_t max = brimwell::intValueOf(status.item(key::kRawMaxCapacity));
  const int32_t amps = brimwell::intValueOf(status.item(key::kInstantAmperage));
  const char* state = brimwell::boolValueOf(status.item(key::kFullyCharged)) ? "full"
                      : brimwell::boolValueOf(status.item(key::kIsCharging)) ? "charging"
                      : brimwell::boolValueOf(status.item(key::kExternalConnected))
                          ? "on charger, not charging"
                          : "on battery";
  // A laptop's level is the drivers' own percentage, as its status file, the viewer and the
  // warnings give it; a phone's is worked out from its charge.
  const brimwell::Plist* percentKey = status.item(key::kCurrentCapacityPercent);
  // A level in a word has no charge to show beside it.
  if (const auto word = brimwell::textOf(status.item(key::kBatteryLevelWord)))
    return "level " + *word + " " + std::to_string(amps) + " mA " + state;
  const double percent = percentKey ? brimwell::intValueOf(percentKey)
                         : max > 0  ? std::floor(100.0 * current / max)
                                    : 0.0;
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.0f%% %d/%d mAh %d mA %s", percent, current, max, amps,
                state);
  return buffer;
}

}  // namespace host
