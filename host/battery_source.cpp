#include "host/battery_source.h"

#include <fstream>

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

std::unique_ptr<ReplaySource> loadReplay(const std::string& path, double speed, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = "cannot read " + path;
    return nullptr;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return replayFromBytes(bytes, path, speed, why);
}

std::unique_ptr<ReplaySource> replayFromBytes(const std::string& bytes, const std::string& path,
                                              double speed, std::string& why) {
  const Plist recording = Plist::fromMemory(bytes);
  if (!recording || plist_get_node_type(recording.get()) != PLIST_ARRAY) {
    why = path + " is not a property-list array of status dictionaries";
    return nullptr;
  }
  std::vector<ReplaySource::Entry> entries;
  const uint32_t count = plist_array_get_size(recording.get());
  for (uint32_t i = 0; i < count; ++i) {
    const plist_t element = plist_array_get_item(recording.get(), i);
    if (plist_get_node_type(element) != PLIST_DICT) {
      why = path + ": element " + std::to_string(i) + " is not a dictionary";
      return nullptr;
    }
    const plist_t status = plist_dict_get_item(element, "status");
    const plist_t delay = plist_dict_get_item(element, "delay");
    double seconds = 0;
    if (delay) {
      const plist_type type = plist_get_node_type(delay);
      if (type == PLIST_REAL) {
        plist_get_real_val(delay, &seconds);
      } else if (type == PLIST_UINT) {
        seconds = brimwell::intValueOf(delay);
      }
      if (!(seconds >= 0 && seconds < 1e9) || (type != PLIST_REAL && type != PLIST_UINT)) {
        why = path + ": element " + std::to_string(i) + " has a bad delay";
        return nullptr;
      }
    }
    if (status && plist_get_node_type(status) != PLIST_DICT) {
      why = path + ": element " + std::to_string(i) + " has a status that is not a dictionary";
      return nullptr;
    }
    const plist_t dictionary = status ? status : element;
    entries.push_back({seconds, std::make_shared<Plist>(plist_copy(dictionary))});
  }
  return std::make_unique<ReplaySource>(std::move(entries), speed);
}

void Recorder::add(double simulatedSeconds, const Plist& status) {
  entries_.push_back({simulatedSeconds - lastTime_, std::make_shared<Plist>(status.copy())});
  lastTime_ = simulatedSeconds;
}

bool Recorder::write(const std::string& path) const {
  Plist array(plist_new_array());
  for (const auto& entry : entries_) {
    Plist element = Plist::newDictionary();
    element.setItem("delay", Plist(plist_new_real(entry.delay)));
    element.setItem("status", entry.status->copy());
    plist_array_append_item(array.get(), element.release());
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << array.toXml();
  out.close();
  return static_cast<bool>(out);
}

}  // namespace host
