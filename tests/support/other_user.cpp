#include "tests/support/other_user.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace testing_support {

OtherUser::OtherUser() : uid_(static_cast<uid_t>(3000000 + ::getpid())) {}

std::optional<std::string> OtherUser::unavailable() {
  if (::geteuid() != 0) return "another user's folders need root to make";
  if (::access(kSetpriv, X_OK) != 0) return std::string("no ") + kSetpriv;
  return std::nullopt;
}

std::vector<std::string> OtherUser::command(const std::string& program,
                                            const std::vector<std::string>& args) const {
  const std::string id = std::to_string(uid_);
  std::vector<std::string> line = {kSetpriv, "--reuid=" + id, "--regid=" + id, "--clear-groups",
                                   "--",     program};
  line.insert(line.end(), args.begin(), args.end());
  return line;
}

void OtherUser::makeFolder(const std::string& path, unsigned mode) const {
  std::filesystem::create_directories(path);
  if (::chown(path.c_str(), uid_, uid_) != 0 || ::chmod(path.c_str(), mode) != 0) {
    throw std::runtime_error("cannot hand " + path + " to uid " + std::to_string(uid_));
  }
}

}  // namespace testing_support
