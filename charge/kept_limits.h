#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "charge/limits_plan.h"

// The kept limits as the service stores them, a JSON object an administrator can read:
//   {"BAT0": {"end": 80, "start": 75, "fullOnceBoot": "<boot id>", "fullOncePowered": true}}
namespace brimwell::charge {

// The kept limits' file in the service's state folder, readable by every user.
inline constexpr const char* kKeptFileName = "charge-limits.json";

// Cold: the laptop service links them, and reads a kept file only on a machine whose charge
// service keeps a "full once"; kept apart from its hot code, they cost it no resident memory.
[[gnu::cold]] std::string keptToJson(const KeptState& kept);
// None when the text is not such an object, or names a battery or holds a value no caller could
// have set: a damaged file is not put back.
[[gnu::cold]] std::optional<KeptState> keptFromJson(std::string_view text);

// The kept file's text, read as the service and the laptop host both read it: never through a
// link, never blocking, only a plain file of 64 KiB at most (the service writes a few lines a
// battery: anything much larger is no file of its).
struct KeptFileText {
  bool absent = false;              // no file: nothing kept yet
  std::optional<std::string> text;  // none where there is one but it cannot be such a file
};
KeptFileText readKeptFile(const std::string& path);

// This boot's id, which ends a "full once" at the next boot, as the kernel's
// /proc/sys/kernel/random/boot_id gives it; empty where that cannot be read (a unit's
// ProcSubset=pid hides it: the unit passes systemd's own instead).
std::string currentBootId();
// A boot id as the kernel writes it (8-4-4-4-12 hexadecimal digits) or as systemd's %b does (32
// digits), in the kernel's form, lower case, so that the service and the laptop host compare
// alike; empty when the text is neither.
std::string bootIdFrom(std::string_view text);

}  // namespace brimwell::charge
