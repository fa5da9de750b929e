#include "viewer/table/screen_footer.h"

#include <cmath>
#include <ctime>

#include "viewer/table/status_summary.h"

std::vector<std::string> footerLines(const FooterFacts& facts, const Localize& localize) {
  if (facts.refusal) {
    return {filledIn(localize("No status shown: %s"), *facts.refusal), localize("q quits")};
  }
  if (facts.batteryGone) {
    return {localize("No battery in this machine now: the host waits for one"),
            localize("q quits")};
  }
  if (facts.written && facts.writtenAt && facts.now - *facts.writtenAt > kStaleAfterSeconds) {
    const time_t seconds = static_cast<time_t>(*facts.writtenAt);
    tm local{};
    localtime_r(&seconds, &local);
    // A status a day old or more says its day too.
    char clock[32];
    const bool dayOld = facts.now - *facts.writtenAt >= 86400;
    std::strftime(clock, sizeof clock, dayOld ? "%Y-%m-%d %H:%M" : "%H:%M", &local);
    const long minutes = std::lround((facts.now - *facts.writtenAt) / 60);
    return {filledIn(filledIn(localize("As of %s (%s min ago): the host has not read the battery "
                                       "since"),
                              clock),
                     std::to_string(minutes)),
            localize("q quit, arrows scroll, g graph, refreshes every 10 s")};
  }
  if (facts.written) return {localize("q quit, arrows scroll, g graph, refreshes every 10 s")};
  return {filledIn(localize("No battery status at %s yet"), facts.statusPath),
          localize(facts.simulated ? "Start springboard-sim on this device. q quits"
                                   : "Start the host: systemctl --user start brimwell. q quits")};
}
