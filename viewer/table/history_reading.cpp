#include "viewer/table/history_reading.h"

#include "history/history_store.h"
#include "platform/foundation/device_environment.h"
#include "platform/foundation/installed_places.h"

HistoryReading readHistory(std::optional<double> samplesSince, bool withHealth,
                           std::optional<double> sleepsSince) {
  using history::HistoryStore;
  HistoryReading reading;
  // A folder that others may write is not read, as the status file's is not.
  if (auto refusal = platform::placeRefusal(HistoryStore::kDevicePath)) {
    reading.none = std::move(refusal);
    reading.failed = true;
    return reading;
  }
  std::string why;
  const auto store =
      HistoryStore::openForReading(platform::deviceFilePath(HistoryStore::kDevicePath), why);
  if (!store || store->holdsNothing()) {
    reading.none = why.empty() ? "no history yet" : why;
    reading.failed = store == nullptr && why != "no history yet";
    return reading;
  }
  if (samplesSince) reading.samples = store->samplesSince(*samplesSince, &why);
  if (withHealth && why.empty()) reading.health = store->health(&why);
  if (sleepsSince && why.empty()) reading.sleeps = store->sleepsSince(*sleepsSince, &why);
  if (!why.empty()) {
    reading = HistoryReading();
    reading.none = "cannot read the history whole: " + why;
    reading.failed = true;
  }
  return reading;
}
