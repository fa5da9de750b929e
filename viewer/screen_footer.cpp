#include "viewer/screen_footer.h"

namespace {

// The translated text with its one "%s" replaced.
std::string filledIn(const std::string& text, const std::string& value) {
  const size_t at = text.find("%s");
  return at == std::string::npos ? text : text.substr(0, at) + value + text.substr(at + 2);
}

}  // namespace

std::vector<std::string> footerLines(const FooterFacts& facts, const Localize& localize) {
  if (facts.refusal) {
    return {filledIn(localize("No status shown: %s"), *facts.refusal), localize("q quits")};
  }
  if (facts.written) return {localize("q quit, arrows scroll, refreshes every 10 s")};
  return {filledIn(localize("No battery status at %s yet"), facts.statusPath),
          localize(facts.simulated ? "Start springboard-sim on this device. q quits"
                                   : "Start the host: systemctl --user start brimwell. q quits")};
}
