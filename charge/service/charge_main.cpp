#include <signal.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <systemd/sd-event.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "charge/kept_limits.h"
#include "charge/service/charge_bus_service.h"
#include "charge/service/charge_keeper.h"
#include "charge/service/charge_options.h"
#include "charge/service/supply_watch.h"

namespace {

// One line each, in the journal.
void say(const std::string& line) {
  std::fprintf(stderr, "brimwell-charge: %s\n", line.c_str());
}

int fail(const std::string& line, int status) {
  say(line);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brimwell::charge;
  const ChargeOptions o = parseChargeOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!o.error.empty()) return fail(o.error, 2);
  if (o.help) return std::fputs(kChargeUsage, stdout) < 0 ? 1 : 0;
  if (o.version) return std::printf("brimwell-charge %s\n", BRIMWELL_VERSION) < 0 ? 1 : 0;
  struct stat st {};
  if (::stat(o.sysfsRoot.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return fail("cannot read the power-supply folder " + o.sysfsRoot, 1);
  }
  if (::mkdir(o.stateDir.c_str(), 0755) != 0 && errno != EEXIST) {
    return fail("cannot make " + o.stateDir + ": " + std::strerror(errno), 1);
  }
  ChargeKeeper keeper(PowerSupplyFolder(o.sysfsRoot), o.stateDir,
                      o.bootId.empty() ? currentBootId() : o.bootId, say);
  if (keeper.bootId().empty()) say("cannot read this boot's id: a full once is refused");

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  sd_event* event = nullptr;
  sd_bus* bus = nullptr;
  if (sd_event_default(&event) < 0) return fail("cannot make its event loop", 1);
  sd_event_add_signal(event, nullptr, SIGTERM, nullptr, nullptr);
  sd_event_add_signal(event, nullptr, SIGINT, nullptr, nullptr);
  const int r = sd_bus_open_system(&bus);
  if (r < 0) return fail(std::string("cannot reach the system bus: ") + std::strerror(-r), 1);
  sd_bus_attach_event(bus, event, SD_EVENT_PRIORITY_NORMAL);
  int status = 0;
  {
    ChargeBusService service(bus, event, keeper);
    SupplyWatch watch(event, o.sysfsRoot != kKernelSupplies, [&] { keeper.suppliesChanged(); });
    std::string why;
    if (service.start(why)) {
      keeper.putBack("started");  // the one service of the name: a second writes nothing
      status = sd_event_loop(event);
    } else {
      status = fail(why, 1);
    }
  }
  sd_bus_flush_close_unref(bus);
  sd_event_unref(event);
  return status < 0 ? 1 : status;
}
