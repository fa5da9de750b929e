#include "platform/foundation/device_environment.h"

#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/foundation/installed_places.h"
#include "platform/sysinfo/machine_name.h"

namespace platform {
namespace {

std::vector<std::string> splitList(std::string_view text, char separator) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view item = text.substr(start, end - start);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (!item.empty()) items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

}  // namespace

const char* environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool guardStandardDescriptors() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    outputClosed = outputClosed || fd == 1;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  return outputClosed;
}

std::string executablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string installPrefix() {
  const std::string exe = executablePath();
  const std::string bin = exe.substr(0, exe.rfind('/') == std::string::npos ? 0 : exe.rfind('/'));
  const size_t slash = bin.rfind('/');
  return slash == std::string::npos ? std::string(".") : bin.substr(0, slash);
}

std::string deviceFilePath(std::string_view devicePath) {
  const char* root = environmentValue("SIM_DEVICE_ROOT");
  if (!root) return installedPlace(devicePath).value_or(std::string(devicePath));
  std::string resolved(root);
  while (resolved.size() > 1 && resolved.back() == '/') resolved.pop_back();
  if (resolved == "/") resolved.clear();
  if (devicePath.empty() || devicePath.front() != '/') resolved.push_back('/');
  resolved.append(devicePath);
  return resolved;
}

// Locales whose device tag is more than the language; the first row for a tag is the one
// Linux names its string-table folder after.
const struct {
  std::string_view locale;
  std::string_view tag;
} kRegionalTags[] = {
    {"zh_CN", "zh-Hans"},
    {"zh_SG", "zh-Hans"},
    {"zh_TW", "zh-Hant"},
    {"zh_HK", "zh-HK"},
};

std::string languageTagForLocale(std::string_view locale) {
  // Drop the codeset and modifier: "zh_TW.UTF-8@x" -> "zh_TW".
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale.empty() || locale == "C" || locale == "POSIX") return "en";
  for (const auto& row : kRegionalTags) {
    if (row.locale == locale) return std::string(row.tag);
  }
  return std::string(locale.substr(0, locale.find('_')));
}

std::string localeFolderForTag(std::string_view tag) {
  for (const auto& row : kRegionalTags) {
    if (row.tag == tag) return std::string(row.locale);
  }
  std::string folder(tag);
  for (char& c : folder) {
    if (c == '-') c = '_';
  }
  return folder;
}

std::vector<std::string> preferredLanguages() {
  if (const char* list = std::getenv("SIM_LANGUAGES")) return splitList(list, ',');
  // LANGUAGE is a priority list of its own; the others name a single locale.
  if (const char* language = environmentValue("LANGUAGE")) {
    std::vector<std::string> tags;
    for (const std::string& name : splitList(language, ':'))
      tags.push_back(languageTagForLocale(name));
    if (!tags.empty()) return tags;
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* locale = environmentValue(name)) return {languageTagForLocale(locale)};
  }
  return {"en"};
}

std::string machineIdentifier() {
  if (const char* model = std::getenv("SIM_MODEL_IDENTIFIER")) return model;
  // The machine's own name does not change while the process runs: the firmware's (a laptop's
  // model), else the processor architecture.
  static const std::string machine = [] {
    const char* dmi = environmentValue("SIM_DMI_FOLDER");
    if (const auto name = dmiMachineName(dmi ? dmi : "/sys/class/dmi/id")) return *name;
    struct utsname names;
    return uname(&names) == 0 ? std::string(names.machine) : std::string();
  }();
  return machine;
}

}  // namespace platform
