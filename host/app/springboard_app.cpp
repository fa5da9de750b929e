#include <iostream>
#include <string>

#include "host/app/host_app.h"
#include "host/app/host_options.h"
#include "host/app/interactive_run.h"
#include "platform/foundation/device_environment.h"

using host::answer;
using host::usageError;

int runSpringBoardSim(int argc, char** argv) {
  if (platform::guardStandardDescriptors()) std::cout.setstate(std::ios::badbit);
  host::HostOptions options;
  std::string why;
  if (!host::parseHostOptions(argc, argv, options, why)) return usageError(why);
  if (options.help || options.version)
    return answer(options.help ? host::kHostUsage : "springboard-sim " BRIMWELL_VERSION "\n");
  return host::runHost(options, host::runInteractive);
}
