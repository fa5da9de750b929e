#include <string>

#include "host/app/host_app.h"
#include "host/app/host_options.h"
#include "host/app/service_options.h"

using host::answer;
using host::usageError;

// Without the interactive screen: a service has no terminal, and it does not load curses.
int runBrimwelld(int argc, char** argv) {
  host::guardStandardOutput();
  host::HostOptions options;
  std::string why;
  if (!host::parseServiceOptions(argc, argv, options, why)) return usageError(why);
  if (options.help || options.version) {
    return answer(options.help ? host::kServiceUsage
                               : std::string(host::kServiceName) + " " BRIMWELL_VERSION "\n");
  }
  return host::runHost(options, nullptr);
}
