#include "platform/foundation/ns_bundle.h"

#include <libintl.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdlib>

#include "platform/foundation/device_environment.h"

namespace {

std::string executablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

NSBundle& NSBundle::mainBundle() {
  static NSBundle bundle;
  return bundle;
}

NSBundle::NSBundle() {
  const std::string exe = executablePath();
  domain_ = exe.substr(exe.rfind('/') + 1);
  // Catalogues sit beside the program, in ../share/locale, both in the build tree and installed.
  const std::string localeDir = folderOf(folderOf(exe)) + "/share/locale";

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
