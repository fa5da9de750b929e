#include "viewer/history_reading.h"

#include "history/history_store.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

HistoryReading readHistory(std::optional<double> samplesSince, bool withHealth) {
  using history::HistoryStore;
  HistoryReading reading;
  // A folder that others may write is not read, as the status file's is not.
  if (auto refusal = platform::placeRefusal(HistoryStore::kDevicePath)) {
    reading.none = std::move(refusal);
    return reading;
  }
  std::string why;
  const auto store =
      HistoryStore::openForReading(platform::deviceFilePath(HistoryStore::kDevicePath), why);
  if (!store) {
    reading.none = why.empty() ? "no history yet" : why;
    return reading;
  }
  if (samplesSince) reading.samples = store->samplesSince(*samplesSince);
  if (withHealth) reading.health = store->health();
  return reading;
}
