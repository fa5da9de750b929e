#pragma once

#include <string>

namespace testing_support {

// The binary form of a well-formed XML property list, made by libplist: an encoder independent
// of ours, so binary input is not our own writer's output read back.
std::string binaryPlistOf(const std::string& xml);

}  // namespace testing_support
