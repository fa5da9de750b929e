#include <string>

#include "host/app/host_app.h"
#include "host/app/host_options.h"
#include "host/app/interactive_run.h"

using host::answer;
using host::usageError;

int runSpringBoardSim(int argc, char** argv) {
  host::guardStandardOutput();
  host::HostOptions options;
  std::string why;
  if (!host::parseHostOptions(argc, argv, options, why)) return usageError(why);
  if (options.help || options.version)
    return answer(options.help ? host::kHostUsage : "springboard-sim " BRIMWELL_VERSION "\n");
  return host::runHost(options, host::runInteractive);
}
