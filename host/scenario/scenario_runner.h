#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "host/classes/host_classes.h"
#include "host/scenario/scenario.h"

namespace host {

// Runs parsed commands against the host: status changes go to the SpringBoard object,
// settings and device facts to the simulated device, lock/unlock make and destroy
// controllers. Transcript lines go to out.
class ScenarioRunner {
 public:
  ScenarioRunner(SpringBoard& springBoard, std::FILE* out) : springBoard_(springBoard), out_(out) {}
  ~ScenarioRunner();
  ScenarioRunner(const ScenarioRunner&) = delete;
  ScenarioRunner& operator=(const ScenarioRunner&) = delete;

  // False, with why set, when the device cannot be changed (the settings file cannot be
  // written, say).
  bool run(const Command& command, std::string& why);

 private:
  void printLiveViews();
  SpringBoard& springBoard_;
  std::FILE* out_;
  std::map<int, SBLockScreenBatteryChargingViewController*> controllers_;
};

}  // namespace host
