#pragma once

#include "host/battery_source.h"
#include "host/host_options.h"

namespace host {

// Runs a source without a screen: alerts (and, if asked, status changes) as lines with the
// simulated time, a summary at the end. Waits in real time unless virtualTime is set.
int runHeadless(BatterySource& source, const HostOptions& options);

}  // namespace host
