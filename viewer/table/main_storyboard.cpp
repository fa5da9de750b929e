#include "viewer/table/main_storyboard.h"

#include "platform/uikit/ui_view.h"
#include "viewer/table/localized.h"

namespace {

// A label owned by the table (its superview); the caller only keeps a weak pointer.
UILabel* addLabel(UITableView* table, std::optional<std::string> text) {
  UILabel* label = UILabel::create(CGRectMake(0, 0, 160, 44));
  label->setText(std::move(text));
  table->addSubview(label);
  label->release();
  return label;
}

}  // namespace

MainStoryboard::MainStoryboard() {
  window_ = UIView::create(CGRectMake(0, 0, 320, 568));
  UITableView* table = UITableView::create(CGRectMake(0, 0, 320, 568));
  window_->addSubview(table);
  controller_.setMainTableView(table);
  table->release();

  BIDMainTableViewController& c = controller_;
  auto row = [&](const char* caption, UILabel** value) {
    *value = addLabel(table, std::nullopt);
    return TableRow{addLabel(table, localized(caption)), *value};
  };
  // A row whose caption is itself an outlet that the refresh writes.
  auto outletRow = [&](UILabel** caption, UILabel** value) {
    *caption = addLabel(table, std::nullopt);
    *value = addLabel(table, std::nullopt);
    return TableRow{*caption, *value};
  };

  sections_.push_back({localized("Device"), {row("Model", &c.deviceLabel)}});
  sections_.push_back(
      {localized("Charge"),
       {row("Level", &c.currentBatteryLevel), row("Temperature", &c.batteryTempLabel),
        outletRow(&c.chargingOrDrainingLabel, &c.currentLabel),
        outletRow(&c.useOrRemainingLabel, &c.remainingTimeLabel)}});
  // A laptop's power, energy and last sleep; a phone's screen never has these lines.
  const auto laptopRow = [&](const char* caption, UILabel** value) {
    TableRow r = row(caption, value);
    r.onlyWithValue = true;
    return r;
  };
  sections_.back().rows.push_back(laptopRow("Power", &c.powerLabel));
  sections_.back().rows.push_back(laptopRow("Last sleep", &c.lastSleepLabel));
  sections_.push_back({localized("Health"),
                       {row("Health", &c.batteryHeath), row("Cycle Count", &c.cycleLabel),
                        row("Current Capacity", &c.currentCap),
                        row("Full Charge Capacity", &c.maxCap), laptopRow("Energy", &c.energyLabel),
                        row("Design Capacity", &c.designCap), row("Voltage", &c.voltageLabel)}});
  sections_.push_back(
      {localized("Charger"),
       {row("Charger Current", &c.outputLabel), row("Fully Charged", &c.fullyChargedLabel)}});
  sections_.push_back(
      {localized("Battery"),
       {row("Manufacturer", &c.manufacturerLabel), row("Serial Number", &c.serialNumberLabel)}});
}

MainStoryboard::~MainStoryboard() {
  controller_.setMainTableView(nullptr);
  window_->release();
}
