// The host's scenario parser: any text. Lines that name files are tried against whatever the
// text names, which is why files are read only when regular and small.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/scenario/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const host::Scenario scenario = host::parseScenario(text, "");
  if (scenario.error && !scenario.commands.empty()) __builtin_trap();  // a bad line runs nothing
  for (size_t i = 0; i < size && i < 256; i += 16) {
    std::string why;
    (void)host::parseValue(text.substr(i, 16), why);
  }
  return 0;
}
