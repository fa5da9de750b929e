#include "common/plist.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace brimwell {

Plist Plist::fromMemory(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return Plist();
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
  return Plist(node);
}

plist_t Plist::item(const char* key) const {
  if (!isDictionary()) return nullptr;
  return plist_dict_get_item(node_, key);
}

void Plist::setItem(const char* key, Plist value) {
  if (!isDictionary() || !value) return;
  plist_dict_set_item(node_, key, value.release());
}

std::string Plist::toXml() const {
  if (!node_) return std::string();
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(node_, &xml, &length);
  std::string out = xml ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  return out;
}

}  // namespace brimwell
