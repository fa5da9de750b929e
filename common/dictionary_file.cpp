#include "common/dictionary_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace brimwell {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (it can surface a delayed write error).
  bool close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Reads to the end into the buffer, which is reused from one read to the next. Asking for one
// byte more than the file's size sees the end in the same call; a regular file reads short
// only at its end.
bool readAll(int fd, std::vector<char>& buffer, size_t& have, size_t expected, size_t limit) {
  if (buffer.size() < std::min(expected, limit) + 1) buffer.resize(std::min(expected, limit) + 1);
  have = 0;
  for (;;) {
    if (have == buffer.size()) {  // it grew since it was measured
      if (buffer.size() > limit) return false;
      buffer.resize(std::min(buffer.size() * 2, limit + 1));
    }
    const ssize_t n = ::read(fd, buffer.data() + have, buffer.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
    if (have < buffer.size()) break;
  }
  return have <= limit;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// 16 hex digits from the kernel's random source, so another user cannot predict the name.
bool randomSuffix(std::string& out) {
  unsigned char bytes[8];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  out.clear();
  for (unsigned char b : bytes) {
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 15]);
  }
  return true;
}

}  // namespace

namespace {

// Opens a regular file of at most kMaxDictionaryFileBytes and reads it whole into buffer.
// O_NONBLOCK keeps a planted FIFO from blocking the open.
bool readRegularFileInto(const std::string& path, std::vector<char>& buffer, size_t& length) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) return false;
  struct stat info;
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (static_cast<unsigned long long>(info.st_size) > kMaxDictionaryFileBytes) return false;
  return readAll(fd.get(), buffer, length, static_cast<size_t>(info.st_size),
                 kMaxDictionaryFileBytes);
}

}  // namespace

std::optional<std::string> readSmallRegularFile(const std::string& path) {
  std::vector<char> buffer;
  size_t length = 0;
  if (!readRegularFileInto(path, buffer, length)) return std::nullopt;
  return std::string(buffer.data(), length);
}

Plist readDictionaryFile(const std::string& path) {
  // A status file is read every few seconds; its buffer stays for the next read unless a large
  // file made it large.
  thread_local std::vector<char> buffer;
  size_t length = 0;
  const bool read = readRegularFileInto(path, buffer, length);
  Plist parsed = read ? Plist::fromMemory(std::string_view(buffer.data(), length)) : Plist();
  if (buffer.size() > 64 * 1024) std::vector<char>().swap(buffer);
  if (!parsed.isDictionary()) return Plist();
  return parsed;
}

bool writeDictionaryFileAtomically(const Plist& dictionary, const std::string& path) {
  if (!dictionary.isDictionary() || path.empty() || path.back() == '/') return false;
  const std::string xml = dictionary.toXml();
  if (xml.empty()) return false;

  const std::string prefix = folderOf(path) + "/." + baseNameOf(path) + ".";
  std::string temporary;
  int raw = -1;
  // A collision with an existing name (planted or not) just means another draw.
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    std::string suffix;
    if (!randomSuffix(suffix)) return false;
    temporary = prefix + suffix;
    raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST) return false;
  }
  if (raw < 0) return false;

  FileDescriptor fd(raw);
  const bool written = writeAll(fd.get(), xml) && fd.close();
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace brimwell
