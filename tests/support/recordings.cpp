#include "tests/support/recordings.h"

#include <algorithm>

#include "common/plist.h"

namespace testing_support {

std::string daysOfCharges(int days) {
  using brimwell::Plist;
  Plist entries = Plist::newArray();
  double level = 100, fullSince = 0;
  enum { draining, charging, full } state = draining;
  for (int minute = 0; minute < days * 1440; ++minute) {
    int amps = 0;
    if (state == draining) {
      level -= 10.0 / 50 * 100 / 60;
      amps = -833;
      if (level <= 20) state = charging;
    } else if (state == charging) {
      const double watts = level < 80 ? 20 : 20 * (100 - level) / 20 + 1;
      level = std::min(100.0, level + watts / 50 * 100 / 60);
      amps = 1600;
      if (level >= 100) state = full, fullSince = minute;
    } else if (minute - fullSince > 60) {
      state = draining;
    }
    Plist status = Plist::newDictionary();
    status.setItem("AppleRawCurrentCapacity", Plist::integer(static_cast<int64_t>(level * 40)));
    status.setItem("AppleRawMaxCapacity", Plist::integer(4000));
    status.setItem("DesignCapacity", Plist::integer(4400));
    status.setItem("InstantAmperage", Plist::integer(amps));
    status.setItem("Voltage", Plist::integer(12000));
    status.setItem("IsCharging", Plist::boolean(state == charging));
    status.setItem("ExternalConnected", Plist::boolean(state != draining));
    status.setItem("FullyCharged", Plist::boolean(state == full));
    status.setItem("CycleCount", Plist::integer(87));
    status.setItem("Serial", Plist::string("42"));
    status.setItem("Manufacturer", Plist::string("ACME"));
    Plist entry = Plist::newDictionary();
    entry.setItem("delay", Plist::real(60));
    entry.setItem("status", std::move(status));
    entries.append(std::move(entry));
  }
  return entries.toXml();
}

}  // namespace testing_support
