#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/history_types.h"
#include "viewer/devices/known_device.h"
#include "viewer/table/bid_battery_info.h"
#include "viewer/table/screen_state.h"

class NSTimer;
class UILabel;
class UITableView;

// The one screen: a static table of battery lines, filled at load and every 10 seconds.
class BIDMainTableViewController {
 public:
  BIDMainTableViewController() = default;
  ~BIDMainTableViewController();
  BIDMainTableViewController(const BIDMainTableViewController&) = delete;
  BIDMainTableViewController& operator=(const BIDMainTableViewController&) = delete;

  // Strong: the controller keeps one reference to its table.
  UITableView* mainTableView() const { return mainTableView_; }
  void setMainTableView(UITableView* table);

  // Weak outlets: the storyboard's table owns the labels; null when not connected.
  UILabel* deviceLabel = nullptr;
  UILabel* currentCap = nullptr;
  UILabel* maxCap = nullptr;
  UILabel* currentBatteryLevel = nullptr;
  UILabel* batteryTempLabel = nullptr;
  UILabel* chargingOrDrainingLabel = nullptr;
  UILabel* currentLabel = nullptr;
  UILabel* useOrRemainingLabel = nullptr;
  UILabel* remainingTimeLabel = nullptr;
  UILabel* batteryHeath = nullptr;
  UILabel* cycleLabel = nullptr;
  UILabel* designCap = nullptr;
  UILabel* voltageLabel = nullptr;
  UILabel* outputLabel = nullptr;
  UILabel* fullyChargedLabel = nullptr;
  std::unique_ptr<BIDBatteryInfo> batteryInfo;
  std::shared_ptr<NSTimer> refreshTimer;
  UILabel* manufacturerLabel = nullptr;
  UILabel* serialNumberLabel = nullptr;

  // Beyond the device's outlets, on a laptop's status only: the last sleep the history holds,
  // where the viewer was given a way to read it (none: no line, and no reading of the history).
  UILabel* lastSleepLabel = nullptr;
  // A laptop's power in W and energy in Wh, where the host gives them.
  UILabel* powerLabel = nullptr;
  UILabel* energyLabel = nullptr;
  std::function<std::optional<history::SleepEntry>()> lastSleep;
  std::optional<history::SleepEntry> lastSleepShown;

  // The user's other batteries as the devices status file gave them at the refresh, and the
  // time of that refresh (seconds since 1970), which their "last seen" is told from.
  std::vector<KnownDevice> devicesShown;
  double devicesReadAt = 0;

  void viewDidLoad();
  void setTableViewFrame();
  void showBatteryInfo();
  std::string getDevicePlatform();

  // The outlet's label, by its place in the refresh order.
  UILabel* outlet(Outlet which) const;

 private:
  UITableView* mainTableView_ = nullptr;
};
