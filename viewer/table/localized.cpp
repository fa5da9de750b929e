#include "viewer/table/localized.h"

#include "platform/foundation/ns_bundle.h"

std::string localized(const std::string& key) {
  return NSBundle::mainBundle().localizedStringForKey(key, "", nullptr);
}
