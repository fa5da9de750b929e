// A recording for --source replay: any bytes, loaded and played to the end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/sources/replay_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string why;
  auto replay = host::replayFromBytes(bytes, "fuzz", 1e6, why);
  if (!replay) return 0;
  // Huge delays are allowed; a bounded number of ticks is enough to play the early ones.
  for (int tick = 0; tick < 4096 && !replay->finished(); ++tick) {
    if (auto status = replay->tick(0.25)) (void)status->toXml();  // what the plug-in writes
  }
  return 0;
}
