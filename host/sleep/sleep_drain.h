#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "history/history_types.h"

// What a sleep cost the battery, worked out from a reading just before it and one at once after
// it, and from what the kernel tells of it. Pure: the host reads, logind tells when.
namespace host::sleep {

// The battery as read at one end of a sleep.
struct SleepEnd {
  double time = 0;                 // the wall clock, seconds since 1970
  double level = 0;                // percent
  std::optional<double> energyWh;  // where the driver gives one
  bool externalPower = false;
};

// What the kernel says of the sleep; absent where it does not say.
struct KernelSleep {
  std::string state;                     // "s2idle", "deep", "hibernate"; "" when not known
  std::optional<double> hwSleepSeconds;  // the time the hardware really slept
  std::optional<std::string> wakeup;     // the interrupt that woke the machine
};

using SleepRecord = history::SleepEntry;
inline double secondsAsleep(const SleepRecord& r) {
  return r.end - r.start;
}
inline double percentLost(const SleepRecord& r) {
  return r.levelBefore - r.levelAfter;
}

SleepRecord measureSleep(const SleepEnd& before, const SleepEnd& after, KernelSleep kernel);

// The kernel's files, as read: `/sys/power/mem_sleep` ("s2idle [deep]": the one in brackets),
// `/sys/power/suspend_stats/last_hw_sleep` (microseconds), `/sys/power/pm_wakeup_irq`.
std::string chosenMemSleep(std::string_view memSleep);
std::optional<double> hwSleepSeconds(std::string_view lastHwSleep);
std::optional<std::string> wakeupIrq(std::string_view pmWakeupIrq);
// `/sys/power/suspend_stats/success` or `fail`: the suspends that succeeded, or failed, since boot.
std::optional<unsigned long> suspendCount(std::string_view file);
struct SuspendCounts {
  std::optional<unsigned long> succeeded, failed;
};
// What the kernel's files say of the sleep just ended, given the suspends counted before and
// after it: a sleep that no suspend counted was a hibernation (the kernel counts only suspends),
// or a suspend that failed where the failures rose; the figures of the last suspend then tell of
// an earlier sleep, not this one.
KernelSleep kernelSleepFrom(std::string_view memSleep, std::string_view lastHwSleep,
                            std::string_view pmWakeupIrq, const SuspendCounts& before,
                            const SuspendCounts& after);

// The headless line after every sleep: "sleep lost 9% in 6 h 2 m (1.50 %/h, 980 mW, s2idle)".
std::string sleepLine(const SleepRecord& r);
// The notice when the drain was high: more than `alertPercentPerHour` (0: never) over at least
// half an hour on battery, at least 2 % lost; "Lost 9 % in 6 h asleep (1.5 % an hour, 980 mW)".
std::optional<std::string> sleepNotice(const SleepRecord& r, double alertPercentPerHour);

}  // namespace host::sleep
