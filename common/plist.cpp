#include "common/plist.h"

#include "common/plist_input_check.h"
#include "common/plist_xml_writer.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace brimwell {

Plist Plist::fromMemory(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return Plist();
  if (carriesNulInText(bytes)) return Plist();
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
  return xmlPropertyList(node_).value_or(std::string());
}

}  // namespace brimwell
