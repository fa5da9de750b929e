#pragma once

#include "host/app/host_options.h"
#include "host/sources/battery_source.h"

namespace host {

// Runs a source without a screen: alerts (and, if asked, status changes) as lines with the
// simulated time, a summary at the end. Waits in real time unless virtualTime is set.
int runHeadless(BatterySource& source, const HostOptions& options);

}  // namespace host
