#pragma once

#include "host/battery_source.h"
#include "host/host_options.h"

namespace host {

// Runs a source with the host's screen on the terminal until the user quits.
int runInteractive(BatterySource& source, const HostOptions& options);

}  // namespace host
