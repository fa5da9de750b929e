#pragma once

#include <string>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes bytes to a path inside the folder, creating the folders on the way.
  std::string write(const std::string& relative, const std::string& bytes) const;
  // Writes bytes beside the path and renames them onto it, as the host replaces its files, so a
  // reader watching the path never sees it half written.
  std::string replace(const std::string& relative, const std::string& bytes) const;
  std::string read(const std::string& relative) const;

 private:
  std::string path_;
};

// The whole of a file; empty when it cannot be read.
std::string readFile(const std::string& path);

// The XML text of a property list whose dictionary body is given ("<key>a</key>...").
std::string plistXml(const std::string& dictionaryBody);

}  // namespace testing_support
