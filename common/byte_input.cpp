#include "common/byte_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace brimwell {

std::string limitText(size_t limit) {
  if (limit % (1024 * 1024) == 0) return std::to_string(limit / (1024 * 1024)) + " MiB";
  if (limit % 1024 == 0) return std::to_string(limit / 1024) + " KiB";
  return std::to_string(limit) + " bytes";
}

int openRegularFile(const std::string& path, size_t limit, uint64_t& size, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    if (why) *why = std::strerror(errno);
    return -1;
  }
  struct stat info;
  std::string refusal;
  if (::fstat(fd, &info) != 0) {
    refusal = std::string("stat: ") + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = "not a regular file";
  } else if (static_cast<unsigned long long>(info.st_size) > limit) {
    refusal = "larger than " + limitText(limit);
  }
  if (refusal.empty()) {
    size = static_cast<uint64_t>(info.st_size);
    return fd;
  }
  ::close(fd);
  if (why) *why = refusal;
  return -1;
}

bool MemoryInput::read(uint64_t offset, char* into, size_t count, size_t& got, std::string&) {
  got = offset < bytes_.size() ? std::min<uint64_t>(count, bytes_.size() - offset) : 0;
  std::memcpy(into, bytes_.data() + std::min<uint64_t>(offset, bytes_.size()), got);
  return true;
}

std::unique_ptr<FileInput> FileInput::open(const std::string& path, size_t limit,
                                           std::string& why) {
  uint64_t size = 0;
  const int fd = openRegularFile(path, limit, size, &why);
  return fd < 0 ? nullptr : std::unique_ptr<FileInput>(new FileInput(fd, size));
}

FileInput::~FileInput() {
  ::close(fd_);
}

bool FileInput::read(uint64_t offset, char* into, size_t count, size_t& got, std::string& why) {
  // Only the bytes there when the file was opened: a file that grows is read as it was.
  const uint64_t wanted = offset < size_ ? std::min<uint64_t>(count, size_ - offset) : 0;
  got = 0;
  while (got < wanted) {
    const ssize_t n = ::pread(fd_, into + got, wanted - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      why = n < 0 ? std::string("read: ") + std::strerror(errno)
                  : "it became shorter while it was read";
      return false;
    }
    got += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace brimwell
