#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/plist.h"
#include "history/history_types.h"
#include "host/sources/simulated_battery.h"

namespace host {

// One pack's wear as its driver states it, for the history's health log.
struct PackWear {
  std::string model, serial;
  int32_t designCapacity = 0;      // mAh
  int32_t fullChargeCapacity = 0;  // mAh
  std::optional<int32_t> cycleCount;
};

// Where the host's battery status changes come from. The host ticks a source with the wall
// time that passed; a source gives at most one status change a tick, which keeps deliveries to
// a few a second of real time.
class BatterySource {
 public:
  virtual ~BatterySource() = default;
  virtual std::optional<brimwell::Plist> tick(double realSeconds) = 0;
  virtual bool finished() const { return false; }
  virtual double simulatedSeconds() const = 0;
  double speed() const { return speed_; }
  void setSpeed(double speed) { speed_ = speed; }
  // The charger, where the source has one to plug in and out.
  virtual bool hasCharger() const { return false; }
  virtual bool chargerConnected() const { return false; }
  virtual void setChargerConnected(bool) {}
  // One-line notices for the user, oldest first (a battery that is missing, say).
  virtual std::vector<std::string> takeNotices() { return {}; }

  // When the host should look at the source next, in real seconds from now; a readable
  // eventDescriptor (-1: none) is a reason to look at once. Between the two the host sleeps.
  virtual double secondsUntilNextLook() const { return kLookInterval; }
  virtual int eventDescriptor() const { return -1; }
  // The event descriptor failed (a kernel-event socket overran its buffer): open a fresh one,
  // which eventDescriptor() then gives, and look at everything at the next look.
  virtual void reopenEvents() {}
  // The next tick reads the battery afresh, whatever its interval says (a last check).
  virtual void lookNow() {}
  // Whether the machine slept before the last tick (the machine's own battery only).
  virtual bool slept() const { return false; }
  // How long the machine has slept since the source started, as of the last tick: the host's
  // clock stops while it sleeps, the wall clock does not.
  virtual double secondsSlept() const { return 0; }
  // The battery at the last look before a sleep and at the first after it, once, at the tick
  // that read it after the sleep (the machine's own battery only).
  struct SleepCrossing {
    double seconds = 0;  // asleep
    double levelBefore = 0, levelAfter = 0;
    std::optional<double> energyBeforeWh, energyAfterWh;
    bool externalBefore = false, externalAfter = false;
  };
  virtual std::optional<SleepCrossing> takeSleep() { return std::nullopt; }
  // logind's word on a sleep: it begins (after the reading it is measured from), and it ended
  // (the next tick reads afresh and measures it from that reading, however briefly the clocks
  // say the machine slept).
  virtual void sleepBegins() {}
  virtual void sleepEnded() {}
  // Whether the last tick read the battery (the machine's own battery only).
  virtual bool looked() const { return false; }
  // The packs as the last reading found them; empty where the source knows no packs (the
  // history then takes the status's own figures).
  virtual std::vector<PackWear> packs() const { return {}; }
  // What past charges taught about the top of a charge, for the time to full.
  virtual void learnCharging(const history::ChargeProfile&) {}
  // How long the run will be in the source's own time, where it knows (a recording).
  virtual std::optional<double> plannedSeconds() const { return std::nullopt; }
  // Whether the speed means anything for this source (not for the machine's own battery).
  virtual bool hasSpeed() const { return true; }
  // A few words for the host's status bar; empty when the status says enough.
  virtual std::string description() const { return std::string(); }

  // A simulated battery or a recording is looked at four times a second of real time.
  static constexpr double kLookInterval = 0.25;

 protected:
  explicit BatterySource(double speed) : speed_(speed) {}

 private:
  double speed_;
};

// A simulated phone battery, running speed times faster than the wall clock.
class SimulatedSource : public BatterySource {
 public:
  static constexpr double kMinimumInterval = 0.25;  // real seconds between status changes

  SimulatedSource(double startPercent, bool charger, double speed, uint32_t seed);
  std::optional<brimwell::Plist> tick(double realSeconds) override;
  double simulatedSeconds() const override { return battery_.elapsed(); }
  bool hasCharger() const override { return true; }
  bool chargerConnected() const override { return battery_.chargerConnected(); }
  void setChargerConnected(bool connected) override { battery_.setChargerConnected(connected); }
  const SimulatedBattery& battery() const { return battery_; }

 private:
  SimulatedBattery battery_;
  brimwell::Plist lastDelivered_;
  double sinceDelivery_ = kMinimumInterval;
};

}  // namespace host
