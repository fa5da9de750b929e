#include "tests/support/binary_plist.h"

#include <plist/plist.h>

#include <stdexcept>

namespace testing_support {

std::string binaryPlistOf(const std::string& xml) {
  plist_t parsed = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &parsed);
  if (!parsed) throw std::runtime_error("libplist cannot read the XML");
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(parsed, &bytes, &length);
  plist_free(parsed);
  std::string out(bytes, length);
  plist_to_bin_free(bytes);
  return out;
}

}  // namespace testing_support
