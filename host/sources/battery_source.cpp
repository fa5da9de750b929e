#include "host/sources/battery_source.h"

#include "common/dictionary_file.h"
#include "common/value_conversions.h"

namespace host {

using brimwell::Plist;

SimulatedSource::SimulatedSource(double startPercent, bool charger, double speed, uint32_t seed)
    : BatterySource(speed), battery_(startPercent, charger, seed) {}

std::optional<Plist> SimulatedSource::tick(double realSeconds) {
  battery_.advance(realSeconds * speed());
  sinceDelivery_ += realSeconds;
  if (sinceDelivery_ < kMinimumInterval) return std::nullopt;
  Plist now = battery_.statusDictionary();
  if (!changedNoticeably(lastDelivered_, now)) return std::nullopt;
  lastDelivered_ = now.copy();
  sinceDelivery_ = 0;
  return now;
}

std::optional<Plist> ReplaySource::tick(double realSeconds) {
  if (finished()) return std::nullopt;
  waited_ += realSeconds * speed();
  elapsed_ += realSeconds * speed();
  const Entry& entry = entries_[next_];
  if (waited_ < entry.delay) return std::nullopt;
  waited_ = 0;
  ++next_;
  return entry.status->copy();
}

std::optional<double> ReplaySource::plannedSeconds() const {
  double total = 0;
  for (const Entry& e : entries_) total += e.delay;
  return total;
}

std::unique_ptr<ReplaySource> loadReplay(const std::string& path, double speed, std::string& why) {
  std::string cause;
  const std::optional<std::string> bytes =
      brimwell::readSmallRegularFile(path, &cause, kMaxRecordingBytes);
  if (!bytes) {
    why = "cannot read " + path + ": " + cause;
    return nullptr;
  }
  return replayFromBytes(*bytes, path, speed, why);
}

std::unique_ptr<ReplaySource> replayFromBytes(const std::string& bytes, const std::string& path,
                                              double speed, std::string& why) {
  std::string cause;
  const Plist recording = Plist::fromMemory(bytes, &cause);
  if (!recording) {
    why = path + " is not a property list: " + cause;
    return nullptr;
  }
  if (!recording.isArray()) {
    why = path + " is not a property-list array of status dictionaries";
    return nullptr;
  }
  std::vector<ReplaySource::Entry> entries;
  for (size_t i = 0; i < recording.size(); ++i) {
    const Plist& element = recording.at(i);
    const std::string where = path + ": element " + std::to_string(i);
    if (!element.isDictionary()) {
      why = where + " is not a dictionary";
      return nullptr;
    }
    const Plist* status = element.item("status");
    const Plist* delay = element.item("delay");
    double seconds = 0;
    if (delay) {
      const bool number =
          delay->kind() == Plist::Kind::Real || delay->kind() == Plist::Kind::Integer;
      seconds =
          delay->kind() == Plist::Kind::Real ? delay->realValue() : brimwell::intValueOf(delay);
      if (!number || !(seconds >= 0 && seconds < 1e9)) {
        why = where + " has a bad delay";
        return nullptr;
      }
    }
    if (status && !status->isDictionary()) {
      why = where + " has a status that is not a dictionary";
      return nullptr;
    }
    entries.push_back({seconds, std::make_shared<Plist>((status ? *status : element).copy())});
  }
  return std::make_unique<ReplaySource>(std::move(entries), speed);
}

void Recorder::add(double simulatedSeconds, const Plist& status) {
  entries_.push_back({simulatedSeconds - lastTime_, std::make_shared<Plist>(status.copy())});
  lastTime_ = simulatedSeconds;
}

bool Recorder::write(const std::string& path, std::string& why) const {
  Plist array = Plist::newArray();
  for (const auto& entry : entries_) {
    Plist element = Plist::newDictionary();
    element.setItem("delay", Plist::real(entry.delay));
    element.setItem("status", entry.status->copy());
    array.append(std::move(element));
  }
  return brimwell::writePropertyListAtomically(array, path, &why, kMaxRecordingBytes);
}

}  // namespace host
