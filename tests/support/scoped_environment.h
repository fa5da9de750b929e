#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Sets or unsets environment variables for one scope, and on leaving it puts back what each
// was before (a value, or unset), so no case sees another's device.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  ScopedEnvironment& set(const std::string& name, const std::string& value);
  ScopedEnvironment& unset(const std::string& name);

 private:
  void remember(const std::string& name);
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace testing_support
