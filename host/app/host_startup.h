#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/app/host_options.h"
#include "host/sources/battery_source.h"
#include "platform/uikit/presenter.h"

namespace host {

// Installs the presenter, defines the host's classes and only then loads the plug-ins, so every
// constructor finds the classes it hooks.
void startHost(platform::Presenter* presenter, std::function<void()> onHostStatusChange);

// The source the options ask for; null with why set when a recording cannot be read.
std::unique_ptr<BatterySource> makeSource(const HostOptions& options, std::string& why);

// "brimwelld: " or "springboard-sim: ", the program as it was run: what starts each notice.
std::string noticePrefix();

// "[hh:mm:ss] " of simulated time.
std::string clockPrefix(double seconds);

// One line about a status change: "63% 1081/1715 mAh 1000 mA charging".
std::string statusSummary(const brimwell::Plist& status);

}  // namespace host
