#include "viewer/table/bid_main_table_view_controller.h"

#include <chrono>
#include <vector>

#include "platform/foundation/ns_string.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/simulated_device.h"
#include "platform/sysinfo/sysctl.h"
#include "platform/uikit/ui_view.h"
#include "viewer/table/device_model.h"
#include "viewer/table/laptop_units.h"
#include "viewer/table/localized.h"
#include "viewer/table/sleep_line.h"

namespace {
constexpr double kRefreshInterval = 10.0;
}  // namespace

BIDMainTableViewController::~BIDMainTableViewController() {
  // The run loop would otherwise keep calling into a controller that is gone.
  if (refreshTimer) refreshTimer->invalidate();
  setMainTableView(nullptr);
}

void BIDMainTableViewController::setMainTableView(UITableView* table) {
  if (table) table->retain();
  if (mainTableView_) mainTableView_->release();
  mainTableView_ = table;
}

void BIDMainTableViewController::viewDidLoad() {
  setTableViewFrame();
  showBatteryInfo();
  refreshTimer = NSTimer::scheduledTimerWithTimeInterval(
      kRefreshInterval, [this] { showBatteryInfo(); }, true);
}

void BIDMainTableViewController::setTableViewFrame() {
  if (!mainTableView_) return;
  const CGFloat width = mainTableView_->bounds().size.width;
  // 0.1 rather than 0: a zero-height header gets the table's default height instead.
  UIView* header = UIView::create(CGRectMake(0, 0, width, static_cast<CGFloat>(0.1f)));
  mainTableView_->setTableHeaderView(header);
  header->release();
}

void BIDMainTableViewController::showBatteryInfo() {
  const std::string deviceName = getDevicePlatform();
  batteryInfo = std::make_unique<BIDBatteryInfo>();
  batteryInfo->getBatteryInfo();

  // Only the simulated phone's screen shows a device's zeros; a status that says the battery
  // went is a laptop's.
  const bool phone = platform::onSimulatedDevice() && !batteryInfo->batteryGone;
  const ScreenState state =
      computeScreenState(deviceName, *batteryInfo, localized,
                         phone ? NoStatusShown::asTheDevice : NoStatusShown::said);
  for (size_t i = 0; i < kOutletCount; ++i) {
    UILabel* label = outlet(static_cast<Outlet>(i));
    if (!label) continue;  // an unconnected outlet is skipped
    const OutletState& entry = state.outlets[i];
    label->setText(entry.text);
    if (entry.color) label->setTextColor(*entry.color);
  }
  lastSleepShown.reset();
  if (batteryInfo->laptop && lastSleep) lastSleepShown = lastSleep();
  if (lastSleepLabel) {
    lastSleepLabel->setText(
        lastSleepShown ? std::optional(lastSleepText(*lastSleepShown, localized)) : std::nullopt);
  }
  const LaptopFigures none;
  const LaptopFigures& laptop = batteryInfo->laptop ? *batteryInfo->laptop : none;
  if (powerLabel) powerLabel->setText(powerText(laptop));
  if (energyLabel) energyLabel->setText(energyText(laptop));
  devicesShown = readKnownDevices();
  devicesReadAt =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string BIDMainTableViewController::getDevicePlatform() {
  size_t size = 0;
  if (sysctlbyname("hw.machine", nullptr, &size, nullptr, 0) != 0 || size == 0) {
    return deviceModelName(std::nullopt);
  }
  std::vector<char> machine(size);
  if (sysctlbyname("hw.machine", machine.data(), &size, nullptr, 0) != 0) {
    return deviceModelName(std::nullopt);
  }
  machine.back() = '\0';  // read only what the buffer holds, even if a value arrives unterminated
  return deviceModelName(NSString::stringWithUTF8CString(machine.data()));
}

UILabel* BIDMainTableViewController::outlet(Outlet which) const {
#define BID_OUTLET_MEMBER(name, coloured) &BIDMainTableViewController::name,
  static constexpr UILabel* BIDMainTableViewController::*kMembers[] = {
      BID_OUTLETS(BID_OUTLET_MEMBER)};
#undef BID_OUTLET_MEMBER
  return this->*kMembers[static_cast<size_t>(which)];
}
