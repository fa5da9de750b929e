#include "platform/foundation/ns_bundle.h"

#include "platform/foundation/device_environment.h"
#include "platform/foundation/message_catalogue.h"

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
  // Only the first preferred language is looked for, in the folder Linux names it by ("zh-Hans"
  // in zh_CN). An empty list has no table at all.
  catalogue_ = languages.empty() ? std::string("en") : languages.front();
  // A tag names a folder: one that could reach another folder is no tag.
  if (catalogue_.find('/') != std::string::npos || catalogue_ == "." || catalogue_ == "..") {
    catalogue_ = "en";
  }

  translations_ =
      platform::readMessageCatalogue(localeDir + "/" + platform::localeFolderForTag(catalogue_) +
                                     "/LC_MESSAGES/" + domain_ + ".mo");
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const char* table) const {
  (void)value;
  (void)table;
  const auto found = translations_.find(key);
  return found == translations_.end() ? key : found->second;
}
