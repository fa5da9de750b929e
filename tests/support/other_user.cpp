#include "tests/support/other_user.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/temp_dir.h"

namespace testing_support {

OtherUser::OtherUser() : uid_(static_cast<uid_t>(3000000 + ::getpid())) {}

std::optional<std::string> OtherUser::unavailable() {
  if (::geteuid() != 0) return "another user's folders need root to make";
  if (::access(kSetpriv, X_OK) != 0) return std::string("no ") + kSetpriv;
  return std::nullopt;
}

std::string OtherUser::reachableCopy(const std::string& program) const {
  namespace fs = std::filesystem;
  const fs::path prefix = fs::path(program).parent_path().parent_path();
  if (!install_) {
    install_ = std::make_shared<TempDir>();
    const auto copy = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    for (const char* part : {"lib/brimwell", "share"}) {
      if (!fs::exists(prefix / part)) continue;
      fs::create_directories(install_->path() + "/" + part);
      fs::copy(prefix / part, install_->path() + "/" + part, copy);
    }
    fs::create_directories(install_->path() + "/bin");
    ::chmod(install_->path().c_str(), 0755);
  }
  const std::string copied = install_->path() + "/bin/" + fs::path(program).filename().string();
  fs::copy_file(program, copied, fs::copy_options::overwrite_existing);
  return copied;
}

std::vector<std::string> OtherUser::command(const std::string& program,
                                            const std::vector<std::string>& args) const {
  const std::string id = std::to_string(uid_);
  std::vector<std::string> line = {
      kSetpriv, "--reuid=" + id, "--regid=" + id, "--clear-groups", "--", reachableCopy(program)};
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
