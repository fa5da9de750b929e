#include "host/devices/device_alert_record.h"

#include "common/value_conversions.h"
#include "host/devices/devices_file.h"

namespace host::devices {
namespace {

using brimwell::Plist;

constexpr const char* kStage = "stage";
constexpr const char* kLevel = "level";
constexpr const char* kWord = "word";
constexpr const char* kAt = "at";
constexpr const char* kCritical = "critical";
constexpr const char* kLow = "low";

std::optional<GivenWarning> warningIn(const Plist& entry) {
  const Plist* stage = entry.item(kStage);
  const Plist* at = entry.item(kAt);
  if (!stage || !at || at->kind() != Plist::Kind::Real) return std::nullopt;
  GivenWarning w;
  if (stage->text() == kCritical) {
    w.stage = AlertStage::critical;
  } else if (stage->text() != kLow) {
    return std::nullopt;
  }
  w.at = at->realValue();
  if (const Plist* level = entry.item(kLevel); level && level->kind() == Plist::Kind::Integer) {
    w.level = brimwell::intValueOf(level);
  }
  if (const Plist* word = entry.item(kWord)) w.word = levelWordFrom(word->text());
  return w;
}

}  // namespace

Plist givenPlist(const std::map<std::string, GivenWarning>& given) {
  Plist record = Plist::newDictionary();
  for (const auto& [id, w] : given) {
    Plist entry = Plist::newDictionary();
    entry.setItem(kStage, Plist::string(w.stage == AlertStage::critical ? kCritical : kLow));
    if (w.level) entry.setItem(kLevel, Plist::integer(*w.level));
    if (w.word) entry.setItem(kWord, Plist::string(levelWordText(*w.word)));
    entry.setItem(kAt, Plist::real(w.at));
    record.setItem(id, std::move(entry));
  }
  return record;
}

std::map<std::string, GivenWarning> givenIn(const Plist& record) {
  std::map<std::string, GivenWarning> given;
  if (!record.isDictionary()) return given;
  for (size_t i = 0; i < record.size(); ++i) {
    const Plist& entry = record.valueAt(i);
    if (!entry.isDictionary()) continue;
    if (auto w = warningIn(entry)) given[record.keyAt(i)] = *w;
  }
  return given;
}

}  // namespace host::devices
