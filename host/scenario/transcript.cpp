#include "host/scenario/transcript.h"

#include "common/text_format.h"
#include "common/text_out.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_view.h"

namespace host {
namespace {

using brimwell::commaSeparated;
using brimwell::quoted;

std::string colorText(const std::optional<UIColor>& color) {
  if (!color) return "none";
  return commaSeparated({color->red, color->green, color->blue, color->alpha});
}

const char* alignmentName(NSTextAlignment alignment) {
  switch (alignment) {
    case NSTextAlignmentCenter:
      return "center";
    case NSTextAlignmentRight:
      return "right";
    default:
      return "left";
  }
}

bool isLabel(const UIView* view) {
  return view->isa == objc_getClass("UILabel");
}

void printView(std::FILE* out, int controller, const UIView* view) {
  const CGRect f = view->frame();
  const std::string frame = commaSeparated({f.origin.x, f.origin.y, f.size.width, f.size.height});
  if (isLabel(view)) {
    const auto* label = static_cast<const UILabel*>(view);
    brimwell::writeText(out, "label " + std::to_string(controller) + " frame=" + frame +
                                 " text=" + quoted(label->text().value_or("")) +
                                 " color=" + colorText(label->textColor()) +
                                 " font=" + brimwell::shortestDecimal(label->font().pointSize) +
                                 " align=" + alignmentName(label->textAlignment()) +
                                 " background=" + colorText(label->backgroundColor()) + '\n');
  } else {
    const CGPoint c = view->center();
    brimwell::writeText(out, "view " + std::to_string(controller) + " frame=" + frame +
                                 " center=" + commaSeparated({c.x, c.y}) +
                                 " background=" + colorText(view->backgroundColor()) + '\n');
  }
  for (const UIView* child : view->subviews()) printView(out, controller, child);
}

}  // namespace

void TranscriptPresenter::say(const std::string& text) {
  brimwell::writeLine(out_, (prefix_ ? prefix_() : std::string()) + text + '\n');
}

void TranscriptPresenter::showAlert(UIAlertView* alert) {
  say("dialog " + quoted(alert->title()) + ' ' + quoted(alert->message()) + ' ' +
      quoted(alert->cancelButtonTitle()));
  alert->dismiss();
}

void TranscriptPresenter::vibrate() {
  say("vibrate");
}

void TranscriptPresenter::playSound(const std::string& devicePath) {
  say("sound " + devicePath);
}

void printSubviews(std::FILE* out, int controller, const UIView* root) {
  if (!root) return;
  for (const UIView* child : root->subviews()) printView(out, controller, child);
}

}  // namespace host
