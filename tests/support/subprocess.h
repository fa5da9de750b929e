#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// The system bus a program the tests start reaches unless it is given one (DBUS_SYSTEM_BUS_ADDRESS
// in its overrides, or set in the test's own environment): none, so that no test ever sees the
// developer's BlueZ or logind.
inline constexpr const char* kNoSystemBus =
    "unix:path=/nonexistent/brimwell-tests-have-no-system-bus";

// Runs a program to its end with extra environment variables (nullopt unsets one) and
// the given standard input; captures both outputs.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env = {},
                         const std::string& input = "");

// Runs a program on a pseudo-terminal of the given size until it ends (killed after the
// timeout); out holds everything it drew, escape sequences and all. `keys` are typed half a
// second after it first drew.
ProcessResult runOnTerminal(const std::string& program, const std::vector<std::string>& args,
                            const std::map<std::string, std::optional<std::string>>& env,
                            unsigned short columns, unsigned short rows, double timeoutSeconds,
                            const std::string& keys = "");

// What posix_spawn takes: the argument vector and this process's environment with overrides,
// and kNoSystemBus where neither gives a system bus.
struct SpawnVectors {
  std::vector<std::string> strings;
  std::vector<char*> argv, envp;
};
SpawnVectors spawnVectors(const std::string& program, const std::vector<std::string>& args,
                          const std::map<std::string, std::optional<std::string>>& env);

}  // namespace testing_support
