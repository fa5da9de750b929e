#include "viewer/table/once_output.h"

#include "common/text_format.h"
#include "platform/uikit/ui_view.h"
#include "viewer/devices/device_text.h"
#include "viewer/table/bid_main_table_view_controller.h"

std::string colorComponents(UIColor c) {
  return brimwell::commaSeparated({c.red, c.green, c.blue, c.alpha});
}

void printOutlets(const BIDMainTableViewController& controller, std::ostream& out) {
  for (size_t i = 0; i < kOutletCount; ++i) {
    const Outlet o = static_cast<Outlet>(i);
    const UILabel* label = controller.outlet(o);
    if (!label) continue;
    out << outletName(o) << ' ' << brimwell::quoted(label->text().value_or(""));
    if (outletIsColoured(o) && label->textColor())
      out << " color=" << colorComponents(*label->textColor());
    out << '\n';
  }
  // Not outlets of the device's: only where a laptop's screen shows them.
  const auto laptopLine = [&](const char* name, const UILabel* label) {
    if (label && label->text()) out << name << ' ' << brimwell::quoted(*label->text()) << '\n';
  };
  laptopLine("lastSleepLabel", controller.lastSleepLabel);
  laptopLine("powerLabel", controller.powerLabel);
  laptopLine("energyLabel", controller.energyLabel);
  // The user's other batteries, a line each, below the battery's: where the host lists any.
  for (const KnownDevice& d : controller.devicesShown) {
    const std::string value = deviceValue(d, controller.devicesReadAt);
    out << "deviceLine "
        << brimwell::quoted(deviceRowCaption(deviceCaption(d), value, kTableRowCells)) << ' '
        << brimwell::quoted(value) << '\n';
  }
}
