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

// What posix_spawn takes: the argument vector and this process's environment with overrides.
struct SpawnVectors {
  std::vector<std::string> strings;
  std::vector<char*> argv, envp;
};
SpawnVectors spawnVectors(const std::string& program, const std::vector<std::string>& args,
                          const std::map<std::string, std::optional<std::string>>& env);

}  // namespace testing_support
