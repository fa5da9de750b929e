#pragma once

#include <string>

#include "host/app/host_options.h"

namespace host {

// brimwelld, the laptop's user service: the machine's own batteries, headless, with desktop
// alerts, and only the options a service in the background has a use for.
extern const char* const kServiceName;
extern const char* const kServiceUsage;

// Fills options as springboard-sim's would be for the same run; false with why set on a bad
// command line.
bool parseServiceOptions(int argc, const char* const* argv, HostOptions& options, std::string& why);

}  // namespace host
