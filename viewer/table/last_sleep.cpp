#include "viewer/table/last_sleep.h"

std::optional<history::SleepEntry> LastSleepReader::at(double now) {
  // A clock set back reads again rather than keep an old answer for as long.
  if (readAt_ && now >= *readAt_ && now - *readAt_ < kReadAgain) return last_;
  readAt_ = now;
  // Once the last is known only it and any later are read; a history started afresh since (a
  // damaged one set aside) holds it no more, and is read whole.
  HistoryReading reading = load_(last_ ? last_->start : 0);
  if (reading.sleeps.empty() && last_ && !reading.none) reading = load_(0);
  last_.reset();
  if (!reading.none && !reading.sleeps.empty()) last_ = reading.sleeps.back();
  return last_;
}
