#include "viewer/once_output.h"

#include <charconv>
#include <cstdio>

#include "platform/uikit/ui_view.h"
#include "viewer/bid_main_table_view_controller.h"

namespace {

std::string shortest(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool isColoured(Outlet o) {
  return o == Outlet::currentBatteryLevel || o == Outlet::batteryTempLabel ||
         o == Outlet::currentLabel || o == Outlet::batteryHeath;
}

}  // namespace

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\x%02x", c);
          out += escape;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string colorComponents(UIColor c) {
  return shortest(c.red) + "," + shortest(c.green) + "," + shortest(c.blue) + "," +
         shortest(c.alpha);
}

void printOutlets(const BIDMainTableViewController& controller, std::ostream& out) {
  for (size_t i = 0; i < kOutletCount; ++i) {
    const Outlet o = static_cast<Outlet>(i);
    const UILabel* label = controller.outlet(o);
    if (!label) continue;
    out << outletName(o) << ' ' << quoted(label->text().value_or(""));
    if (isColoured(o) && label->textColor())
      out << " color=" << colorComponents(*label->textColor());
    out << '\n';
  }
}
