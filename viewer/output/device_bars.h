#pragma once

#include <optional>
#include <string>

#include "viewer/devices/known_device.h"
#include "viewer/output/output_format.h"

// One of the user's other batteries in a bar (--device): its level ("8%") or its word
// ("Normal") as the text, marked at its own low and critical levels while it does not charge.
// A device that is not known, or not connected, gives nothing (waybar: an empty text, which
// hides the module), never a level that would look current.
std::string deviceWaybarLine(const std::optional<KnownDevice>& device, double now);
std::string deviceI3blocksLines(const std::optional<KnownDevice>& device);
int deviceI3blocksExitStatus(const std::optional<KnownDevice>& device);
std::string devicePolybarLine(const std::optional<KnownDevice>& device);

// The bar's output for the format, with its trailing newline where the bar takes lines; once,
// nothing at all for a device that is not shown.
std::string deviceBarOutput(OutputFormat format, const std::optional<KnownDevice>& device,
                            double now);
