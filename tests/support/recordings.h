#pragma once

#include <string>

namespace testing_support {

// A recording of a laptop-like battery, a status a minute for the days given: drained at 10 W
// from full to 20 %, charged at 20 W (slowing above 80 %) to full, held full an hour, again.
std::string daysOfCharges(int days);

}  // namespace testing_support
