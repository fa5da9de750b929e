#include "common/dictionary_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/byte_input.h"
#include "common/plist_xml_writer.h"

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

bool failed(std::string* why, std::string text) {
  if (why) *why = std::move(text);
  return false;
}

bool failedWithErrno(std::string* why, const char* what) {
  return failed(why, std::string(what) + ": " + std::strerror(errno));
}

// Reads to the end into the buffer, which is reused from one read to the next. Asking for one
// byte more than the expected size sees the end in the same call; a regular file reads short
// only at its end, a pipe reads on until it ends.
bool readAll(int fd, std::vector<char>& buffer, size_t& have, size_t expected, size_t limit,
             bool regular, std::string* why) {
  const size_t first = std::min(expected, limit) + 1;
  if (buffer.size() < first) buffer.resize(first);
  have = 0;
  for (;;) {
    if (have == buffer.size()) {  // it grew since it was measured
      if (buffer.size() > limit) return failed(why, "larger than " + limitText(limit));
      buffer.resize(std::min(std::max<size_t>(buffer.size() * 2, 4096), limit + 1));
    }
    const ssize_t n = ::read(fd, buffer.data() + have, buffer.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failedWithErrno(why, "read");
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
    if (regular && have < buffer.size()) break;
  }
  if (have > limit) return failed(why, "larger than " + limitText(limit));
  return true;
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

// Opens a regular file of at most limit bytes and reads it whole into buffer.
bool readRegularFileInto(const std::string& path, std::vector<char>& buffer, size_t& length,
                         size_t limit, std::string* why) {
  uint64_t size = 0;
  FileDescriptor fd(openRegularFile(path, limit, size, why));
  if (fd.get() < 0) return false;
  return readAll(fd.get(), buffer, length, static_cast<size_t>(size), limit, true, why);
}

}  // namespace

std::optional<std::string> readSmallRegularFile(const std::string& path, std::string* why,
                                                size_t limit) {
  std::vector<char> buffer;
  size_t length = 0;
  if (!readRegularFileInto(path, buffer, length, limit, why)) return std::nullopt;
  return std::string(buffer.data(), length);
}

std::optional<std::string> readSmallStream(int fd, std::string* why, size_t limit) {
  std::vector<char> buffer;
  size_t length = 0;
  if (!readAll(fd, buffer, length, 0, limit, false, why)) return std::nullopt;
  return std::string(buffer.data(), length);
}

Plist readDictionaryFile(const std::string& path, std::string* why) {
  // A status file is read every few seconds; its buffer stays for the next read unless a large
  // file made it large.
  thread_local std::vector<char> buffer;
  size_t length = 0;
  Plist parsed;
  if (readRegularFileInto(path, buffer, length, kMaxDictionaryFileBytes, why)) {
    parsed = Plist::fromMemory(std::string_view(buffer.data(), length), why);
  }
  if (buffer.size() > 64 * 1024) std::vector<char>().swap(buffer);
  if (parsed && !parsed.isDictionary()) {
    failed(why, "its top level is not a dictionary");
    return Plist();
  }
  return parsed;
}

namespace {

// Makes the folder's new entry durable. Some file systems cannot sync a folder; the file itself is
// already in place by then, so this is best effort.
void syncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

bool writePropertyListAtomically(const Plist& value, const std::string& path, std::string* why,
                                 size_t limit, Durability durability) {
  std::string unwritable;
  const std::optional<std::string> xml = xmlPropertyList(value, &unwritable);
  if (!xml) return failed(why, "cannot be written as a property list: " + unwritable);
  if (xml->size() > limit) return failed(why, "larger than " + limitText(limit));
  AtomicFileWriter file;
  return file.open(path, why) && file.append(*xml, why) && file.commit(durability, why);
}

AtomicFileWriter::~AtomicFileWriter() {
  discard();
}

void AtomicFileWriter::discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_.c_str());
}

bool AtomicFileWriter::open(const std::string& path, std::string* why) {
  discard();
  if (path.empty() || path.back() == '/') return failed(why, "no file name in the path");
  // A device, a FIFO or a socket that stands at the path is not replaced by a file: as root
  // that would take /dev/full away. (A link is replaced, never followed; a folder cannot be.)
  struct stat existing;
  if (::lstat(path.c_str(), &existing) == 0 &&
      (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode) || S_ISBLK(existing.st_mode) ||
       S_ISSOCK(existing.st_mode))) {
    return failed(why, "not a regular file");
  }
  const std::string prefix = folderOf(path) + "/." + baseNameOf(path) + ".";
  // A collision with an existing name (planted or not) just means another draw.
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    std::string suffix;
    if (!randomSuffix(suffix)) return failedWithErrno(why, "no random name");
    temporary_ = prefix + suffix;
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) return failedWithErrno(why, "cannot create a temporary file");
  }
  if (fd_ < 0) return failed(why, "every temporary name drawn was taken");
  path_ = path;
  return true;
}

bool AtomicFileWriter::append(std::string_view bytes, std::string* why) {
  if (fd_ < 0) return failed(why, "no file open");
  if (writeAll(fd_, bytes)) return true;
  failedWithErrno(why, "write");
  discard();
  return false;
}

bool AtomicFileWriter::commit(Durability durability, std::string* why) {
  if (fd_ < 0) return failed(why, "no file open");
  const bool synced = durability == Durability::synced;
  bool ok = !synced || ::fchmod(fd_, 0600) == 0 || failedWithErrno(why, "fchmod");
  ok = ok && (!synced || ::fsync(fd_) == 0 || failedWithErrno(why, "fsync"));
  const int fd = fd_;
  fd_ = -1;
  const bool closed = ::close(fd) == 0;  // once, whatever came before
  ok = ok && (closed || failedWithErrno(why, "close"));
  ok = ok && (::rename(temporary_.c_str(), path_.c_str()) == 0 || failedWithErrno(why, "rename"));
  if (!ok) ::unlink(temporary_.c_str());
  if (ok && synced) syncFolder(folderOf(path_));
  return ok;
}

}  // namespace brimwell
