#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/api.h"

namespace brimwell {

// Bytes read a piece at a time, from anywhere in them: a large file is never held whole.
class COMMON_API ByteInput {
 public:
  virtual ~ByteInput() = default;
  virtual uint64_t size() const = 0;
  // Up to `count` bytes from `offset` into `into`, fewer only past the end; false, with why,
  // when they cannot be read.
  virtual bool read(uint64_t offset, char* into, size_t count, size_t& got, std::string& why) = 0;
};

// Bytes already in memory; they must outlive it.
class COMMON_API MemoryInput final : public ByteInput {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  bool read(uint64_t offset, char* into, size_t count, size_t& got, std::string& why) override;

 private:
  std::string_view bytes_;
};

// A regular file of at most a given size, held open: what is read is the file opened, whatever
// is renamed over its path meanwhile.
class COMMON_API FileInput final : public ByteInput {
 public:
  // Null, with why ("not a regular file", "larger than 64 MiB", the system's word), as the
  // small-file reader refuses a file.
  static std::unique_ptr<FileInput> open(const std::string& path, size_t limit, std::string& why);
  ~FileInput() override;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  uint64_t size() const override { return size_; }
  // A file that turns out shorter than it was when opened cannot be read.
  bool read(uint64_t offset, char* into, size_t count, size_t& got, std::string& why) override;

 private:
  FileInput(int fd, uint64_t size) : fd_(fd), size_(size) {}
  int fd_;
  uint64_t size_;
};

// "64 MiB", "256 KiB", or "1000 bytes" for a limit that is no whole number of KiB.
std::string limitText(size_t limit);

// Opens a regular file of at most `limit` bytes for reading; its size in `size`. -1, with why,
// for anything else. O_NONBLOCK keeps a planted FIFO from blocking the open.
int openRegularFile(const std::string& path, size_t limit, uint64_t& size, std::string* why);

}  // namespace brimwell
