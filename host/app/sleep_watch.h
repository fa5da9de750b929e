#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "host/sources/battery_source.h"

namespace host {

class DesktopAlerts;
class HistoryRecorder;
class SourcePump;
namespace bus {
class Connection;
class Logind;
}  // namespace bus

// The machine's sleeps as logind announces them. Awake, the host holds a delay inhibitor for
// sleep, so that as the machine goes to sleep it reads the battery (the reading the sleep is
// measured from) before letting it go; as the machine wakes it takes a new one and reads the
// battery at once. Without a system bus or logind, a sleep is still found from the boot clock at
// the next reading, which says so once.
class SleepWatch {
 public:
  using Say = std::function<void(const std::string&)>;
  explicit SleepWatch(Say say);
  ~SleepWatch();
  SleepWatch(const SleepWatch&) = delete;
  SleepWatch& operator=(const SleepWatch&) = delete;

  // The source told of each sleep and read at once as the machine goes to sleep and as it wakes
  // (null: no more).
  void follow(BatterySource* source, SourcePump* pump);
  // The user's threshold for the drain notice in percent an hour (0: none), read afresh; a
  // wrong value is said once.
  double drainAlert();
  // logind on the system bus, for the last action too; null without one.
  bus::Logind* logind() { return logind_.get(); }

 private:
  void prepare(bool sleeping);
  void inhibit();
  void lessPrecisely(const std::string& why);

  Say say_;
  BatterySource* source_ = nullptr;
  SourcePump* pump_ = nullptr;
  std::unique_ptr<bus::Connection> bus_;
  std::unique_ptr<bus::Logind> logind_;
  bool saidLessPrecise_ = false;
  std::set<std::string> said_;
};

// After a sleep the source measured: the record kept in the history, the line said, and a
// notification where the drain was above the user's threshold (percent an hour; 0: none).
void reportSleep(const BatterySource::SleepCrossing& crossing, double hostSeconds,
                 HistoryRecorder& history, DesktopAlerts* desktop, double alertPercentPerHour,
                 const SleepWatch::Say& line);

}  // namespace host
