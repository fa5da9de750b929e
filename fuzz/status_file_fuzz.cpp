// The status file as the viewer reads it: any bytes, parsed, converted and turned into a screen;
// and what the plug-in would write of it reads back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/plist.h"
#include "common/status_keys.h"
#include "common/value_conversions.h"
#include "platform/foundation/ns_dictionary.h"
#include "viewer/table/bid_battery_info.h"
#include "viewer/table/screen_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  brimwell::Plist parsed = brimwell::Plist::fromMemory(bytes);
  // Whatever the reader takes, the writer writes and the reader takes back; a second round is
  // the same text (the first may replace text XML cannot hold).
  if (parsed) {
    const std::string xml = parsed.toXml();
    const brimwell::Plist again = brimwell::Plist::fromMemory(xml);
    if (!again || again.toXml() != xml) __builtin_trap();
  }
  if (parsed && !parsed.isDictionary()) parsed.reset();
  const NSDictionary status(std::move(parsed));
  // The plug-in writes whatever dictionary the host hands it.
  (void)status.contents().toXml();
  for (const char* key : {brimwell::key::kManufacturer, brimwell::key::kSerial,
                          brimwell::key::kTemperature, brimwell::key::kFullyCharged}) {
    const NSObjectValue value = status.objectForKey(key);
    (void)value.intValue();
    (void)value.boolValue();
    (void)value.description();
  }
  BIDBatteryInfo info;
  fillBatteryInfo(info, status);
  const ScreenState screen =
      computeScreenState("iPhone 6", info, [](const std::string& key) { return key; });
  (void)screen;
  return 0;
}
