#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "brimwell-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& relative, const std::string& bytes) const {
  const fs::path full = fs::path(path_) / fs::path(relative).relative_path();
  fs::create_directories(full.parent_path());
  std::ofstream(full, std::ios::binary) << bytes;
  return full.string();
}

std::string TempDir::replace(const std::string& relative, const std::string& bytes) const {
  const fs::path full = fs::path(path_) / fs::path(relative).relative_path();
  const std::string aside =
      write(full.parent_path().string().substr(path_.size()) + "/.replacing", bytes);
  fs::rename(aside, full);
  return full.string();
}

std::string TempDir::read(const std::string& relative) const {
  return readFile(fs::path(path_) / fs::path(relative).relative_path());
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::string plistXml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
         "</dict></plist>\n";
}

}  // namespace testing_support
