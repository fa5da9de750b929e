#pragma once

#include <optional>
#include <string>

// The display name of a machine identifier: the model table's name, the identifier itself when
// the table has no row for it, or "Null" when there is no identifier that reads as text.
std::string deviceModelName(const std::optional<std::string>& identifier);
