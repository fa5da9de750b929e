#pragma once

#include "platform/foundation/ns_dictionary.h"
#include "plugin/alert_policy.h"

namespace brimwell::plugin {

// Opens the settings file afresh (nothing is cached, so a change counts at the next read);
// nil when it is missing or not a dictionary, and then every key reads as 0/NO.
NSDictionary readPluginSettings();

// The six settings of the alert policy, in the order the handler reads them.
AlertSettings alertSettingsFrom(const NSDictionary& settings);

}  // namespace brimwell::plugin
