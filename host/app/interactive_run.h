#pragma once

#include "host/app/host_options.h"
#include "host/app/status_file_lock.h"
#include "host/sources/battery_source.h"

namespace host {

// Runs a source with the host's screen on the terminal until the user quits.
int runInteractive(BatterySource& source, const HostOptions& options, StatusFileLock& lock);

}  // namespace host
