#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class TempDir;

// A user other than the test's, for cases that need a folder someone else owns: a uid no
// account has, unique to this process. Running as it needs root and setpriv.
class OtherUser {
 public:
  OtherUser();
  uid_t uid() const { return uid_; }
  // Why programs cannot be run as this user here; none when they can.
  static std::optional<std::string> unavailable();
  // The command line that runs program with args as this user (setpriv's, program first). The
  // program runs from a copy of its install (its bin/, lib/brimwell/ and share/) in a folder
  // this user can reach: the build may lie in a folder only its owner may enter (root's home).
  std::vector<std::string> command(const std::string& program,
                                   const std::vector<std::string>& args) const;
  // Makes a folder (and its parents) owned by this user with the given mode.
  void makeFolder(const std::string& path, unsigned mode = 0700) const;

 private:
  std::string reachableCopy(const std::string& program) const;

  uid_t uid_;
  mutable std::shared_ptr<TempDir> install_;
};

inline constexpr const char* kSetpriv = "/usr/bin/setpriv";

}  // namespace testing_support
