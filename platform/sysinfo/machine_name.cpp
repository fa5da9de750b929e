#include "platform/sysinfo/machine_name.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "common/dictionary_file.h"
#include "common/utf8.h"

namespace platform {
namespace {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// What firmware writes when it has nothing to say.
bool isPlaceholder(const std::string& text) {
  static const char* const kPlaceholders[] = {
      "",
      "none",
      "default string",
      "to be filled by o.e.m.",
      "system product name",
      "system version",
      "system manufacturer",
      "not applicable",
      "not specified",
      "n/a",
      "0123456789",
      "type1productconfigid",
      "invalid",
      "x.x",
  };
  const std::string lower = lowered(text);
  return std::any_of(std::begin(kPlaceholders), std::end(kPlaceholders),
                     [&](const char* p) { return lower == p; });
}

// The first line of a DMI attribute, trimmed; none for a placeholder or an unreadable file.
std::optional<std::string> field(const std::string& folder, const char* name) {
  const auto bytes = brimwell::readSmallRegularFile(folder + "/" + name, nullptr, 4096);
  if (!bytes) return std::nullopt;
  // Firmware writes what it likes: only printable UTF-8 is kept (a Latin-1 byte, an escape).
  std::string text = brimwell::printableUtf8(bytes->substr(0, bytes->find('\n')));
  const size_t first = text.find_first_not_of(" \t");
  const size_t last = text.find_last_not_of(" \t\r");
  text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  if (isPlaceholder(text)) return std::nullopt;
  return text;
}

}  // namespace

std::optional<std::string> dmiMachineName(const std::string& folder) {
  const auto vendor = field(folder, "sys_vendor");
  const auto product = field(folder, "product_name");
  const auto version = field(folder, "product_version");
  const bool nameInVersion = vendor && lowered(*vendor) == "lenovo";
  std::optional<std::string> name = nameInVersion && version ? version : product;
  if (!name) return std::nullopt;
  if (vendor && lowered(name->substr(0, vendor->size())) != lowered(*vendor)) {
    name = *vendor + " " + *name;
  }
  return name;
}

}  // namespace platform
