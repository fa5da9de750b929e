#pragma once

#include <string>
#include <unordered_map>

#include "platform/api.h"

// The application's string table: gettext catalogues with the English text as key, one per
// language, chosen by the device's first preferred language and read once, whole.
class PLATFORM_API NSBundle {
 public:
  static NSBundle& mainBundle();
  // The translation of key, or key itself when the table has none. value and table are taken
  // for the device's signature; the default table is the only one.
  std::string localizedStringForKey(const std::string& key, const std::string& value,
                                    const char* table) const;
  const std::string& language() const { return catalogue_; }

 private:
  NSBundle();
  std::string domain_;
  std::string catalogue_;
  std::unordered_map<std::string, std::string> translations_;
};
