#include "charge/supply_online.h"

namespace brimwell::charge {

std::optional<bool> onlineSays(std::string_view online) {
  if (online == "0") return false;
  if (online == "1" || online == "2") return true;
  return std::nullopt;
}

}  // namespace brimwell::charge
