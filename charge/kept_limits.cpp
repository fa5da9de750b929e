#include "charge/kept_limits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include <nlohmann/json.hpp>

namespace brimwell::charge {
namespace {

using nlohmann::json;

bool readPercent(const json& entry, const char* key, int lowest, int highest,
                 std::optional<int>& out) {
  const auto it = entry.find(key);
  if (it == entry.end()) return true;
  if (!it->is_number_integer()) return false;
  const auto value = it->get<long long>();
  if (value < lowest || value > highest) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

KeptFileText readKeptFile(const std::string& path) {
  constexpr size_t kLargest = 64 * 1024;
  KeptFileText kept;
  // Without a C++ stream: the laptop service reads this, and a stream's locale is half a
  // megabyte of its memory.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    kept.absent = errno == ENOENT;
    return kept;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= static_cast<off_t>(kLargest)) {
    std::string text(kLargest + 1, '\0');
    const ssize_t n = ::read(fd, text.data(), text.size());
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (text.size() <= kLargest) kept.text = std::move(text);
  }
  ::close(fd);
  return kept;
}

// Read without a C++ stream: the first stream a program makes sets up the whole locale, half a
// megabyte of the laptop service's memory.
std::string currentBootId() {
  const int fd = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char id[64];
  const ssize_t n = ::read(fd, id, sizeof id);
  ::close(fd);
  const std::string_view text(id, n > 0 ? static_cast<size_t>(n) : 0);
  return bootIdFrom(text.substr(0, text.find('\n')));
}

std::string bootIdFrom(std::string_view text) {
  constexpr size_t kDashes[] = {8, 13, 18, 23};  // where the kernel's form has its dashes
  std::string digits;
  if (text.size() == 36) {
    for (size_t i = 0; i < text.size(); ++i) {
      const bool dash = std::find(std::begin(kDashes), std::end(kDashes), i) != std::end(kDashes);
      if (dash != (text[i] == '-')) return {};
      if (!dash) digits += text[i];
    }
  } else if (text.size() == 32) {
    digits = text;
  } else {
    return {};
  }
  for (char& c : digits) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
  }
  if (digits == std::string(32, '0')) return {};  // the null id is no boot's
  for (const size_t at : kDashes) digits.insert(at, 1, '-');
  return digits;
}

std::string keptToJson(const KeptState& kept) {
  json out = json::object();
  for (const auto& [battery, limits] : kept) {
    json entry = json::object();
    if (limits.end) entry["end"] = *limits.end;
    if (limits.start) entry["start"] = *limits.start;
    if (!limits.fullOnceBoot.empty()) entry["fullOnceBoot"] = limits.fullOnceBoot;
    if (limits.fullOncePowered) entry["fullOncePowered"] = true;
    out[battery] = std::move(entry);
  }
  return out.dump(2) + "\n";
}

std::optional<KeptState> keptFromJson(std::string_view text) {
  const json in = json::parse(text.begin(), text.end(), nullptr, false);
  if (in.is_discarded() || !in.is_object()) return std::nullopt;
  KeptState kept;
  for (const auto& [battery, entry] : in.items()) {
    if (!isBatteryName(battery) || !entry.is_object()) return std::nullopt;
    KeptLimits limits;
    // A start of 0 is one a driver may hold, kept when a "full once" lifted it.
    if (!readPercent(entry, "end", 1, 100, limits.end) ||
        !readPercent(entry, "start", 0, 99, limits.start)) {
      return std::nullopt;
    }
    const auto boot = entry.find("fullOnceBoot");
    if (boot != entry.end()) {
      if (!boot->is_string()) return std::nullopt;
      // In the kernel's form, however it was written; a text that is no id stays as it is, no
      // boot's.
      limits.fullOnceBoot = boot->get<std::string>();
      if (const std::string id = bootIdFrom(limits.fullOnceBoot); !id.empty())
        limits.fullOnceBoot = id;
    }
    const auto powered = entry.find("fullOncePowered");
    if (powered != entry.end()) {
      if (!powered->is_boolean()) return std::nullopt;
      limits.fullOncePowered = powered->get<bool>();
    }
    kept[battery] = std::move(limits);
  }
  return kept;
}

}  // namespace brimwell::charge
