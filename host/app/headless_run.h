#pragma once

#include "host/app/host_options.h"
#include "host/app/status_file_lock.h"
#include "host/sources/battery_source.h"

namespace host {

// Runs a source without a screen: alerts (and, if asked, status changes) as lines with the
// simulated time, a summary at the end. Waits in real time unless virtualTime is set.
int runHeadless(BatterySource& source, const HostOptions& options, StatusFileLock& lock);

}  // namespace host
