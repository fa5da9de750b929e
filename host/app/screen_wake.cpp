#include "host/app/screen_wake.h"

#include "common/charge_arithmetic.h"
#include "common/saturating_truncate.h"
#include "common/status_keys.h"
#include "common/value_conversions.h"

namespace host {

bool ScreenWake::wakesFor(const brimwell::Plist& status) {
  namespace key = brimwell::key;
  const bool charger = brimwell::boolValueOf(status.item(key::kExternalConnected));
  const int32_t percent = brimwell::saturatingTruncate(
      brimwell::percentOf(brimwell::intValueOf(status.item(key::kRawCurrentCapacity)),
                          brimwell::intValueOf(status.item(key::kRawMaxCapacity))));
  const bool wakes = charger_ != charger || percent_ != percent;
  charger_ = charger;
  if (wakes) percent_ = percent;
  return wakes;
}

}  // namespace host
