#include "platform/foundation/ns_bundle.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>

#include "platform/foundation/device_environment.h"

NSBundle& NSBundle::mainBundle() {
  static NSBundle bundle;
  return bundle;
}

NSBundle::NSBundle() {
  const std::string exe = platform::executablePath();
  domain_ = exe.substr(exe.rfind('/') + 1);
  // Catalogues sit beside the program, in ../share/locale, both in the build tree and installed.
  const std::string localeDir = platform::installPrefix() + "/share/locale";

  const std::vector<std::string> languages = platform::preferredLanguages();
  // Catalogue folders are named by the exact language tag ("zh-Hans"), so only an exact match
  // of the first preferred language finds one. An empty list has no table at all.
  catalogue_ = languages.empty() ? std::string("en") : languages.front();
  // LANGUAGE is a ':' list and names folders: a tag that could reach another one is no tag.
  if (catalogue_.find_first_of(":/") != std::string::npos) catalogue_ = "en";

  // gettext ignores LANGUAGE in the "C" locale; the table's language is the device's choice,
  // not the locale's, so messages always use the UTF-8 C locale with LANGUAGE set.
  std::setlocale(LC_MESSAGES, "C.UTF-8");
  setenv("LANGUAGE", catalogue_.c_str(), 1);
  bindtextdomain(domain_.c_str(), localeDir.c_str());
  bind_textdomain_codeset(domain_.c_str(), "UTF-8");
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const char* table) const {
  (void)value;
  (void)table;
  if (key.empty()) return key;
  auto found = translations_.find(key);
  if (found == translations_.end()) {
    found = translations_.emplace(key, dgettext(domain_.c_str(), key.c_str())).first;
  }
  return found->second;
}
