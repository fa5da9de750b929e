#pragma once

#include <optional>
#include <string_view>

// What a power supply's `online` says, one rule for the laptop service and the charge service:
// 0 offline, 1 online, 2 a programmable supply (USB PD's PPS) online. Anything else says nothing.
namespace brimwell::charge {

std::optional<bool> onlineSays(std::string_view online);

}  // namespace brimwell::charge
