#include "host/app/laptop_alert_lines.h"

#include "common/text_format.h"
#include "common/text_out.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {

void LaptopAlertLines::say(const std::string& text) {
  // One write a line, so the journal has it whole and at once.
  brimwell::writeLine(out_, prefix_() + text + '\n');
}

void LaptopAlertLines::showAlert(UIAlertView* alert) {
  say("alert " + brimwell::quoted(alert->message()));
  alert->dismiss();
}

void LaptopAlertLines::playSound(const std::string&) {
  say("alert sound");
}

}  // namespace host
