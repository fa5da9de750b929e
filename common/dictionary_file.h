#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/api.h"
#include "common/plist.h"

namespace brimwell {

// A real status file is about 2 KB; anything past this is treated as unreadable so that a file
// planted in a world-writable folder cannot exhaust memory. Scenarios and the settings obey it
// too.
inline constexpr size_t kMaxDictionaryFileBytes = 1024 * 1024;

// The bytes of a regular file of at most `limit` bytes; none for anything else (absent, a
// device, a FIFO, too large, unreadable), with why ("No such file or directory", "not a
// regular file", "larger than 1 MiB") when asked.
COMMON_API std::optional<std::string> readSmallRegularFile(const std::string& path,
                                                           std::string* why = nullptr,
                                                           size_t limit = kMaxDictionaryFileBytes);
// The same from an open descriptor that may be a pipe (standard input), read to its end.
COMMON_API std::optional<std::string> readSmallStream(int fd, std::string* why = nullptr,
                                                      size_t limit = kMaxDictionaryFileBytes);

// Reads a small regular file in one piece as a property list of any form whose top level is a
// dictionary; no value, with why, when it cannot be read, is not exactly one property list, or
// holds something else.
COMMON_API Plist readDictionaryFile(const std::string& path, std::string* why = nullptr);

// What a replacement must survive. A status file, rewritten at every change in a volatile folder,
// needs nothing more than the rename; a file the user chose (the settings) is synced before the
// rename and its folder after it, so that a power loss cannot bring it back empty, and is the
// user's alone (mode 0600, whatever the umask): a command line in it is run.
enum class Durability { rename, synced };

// Writes the value as an XML property list by atomic replacement: a new file with an
// unpredictable name is created exclusively in the same folder (so a planted symlink is never
// followed), filled, then renamed over the path. Its mode is what a plain create gives (0666
// less the umask) so other processes can read it. On any failure the temporary file is
// removed, the previous file stays as it was, and false is returned with why (the cause where
// it happened, not a later errno). A text longer than limit is refused, so that nothing is
// written that its reader would refuse.
COMMON_API bool writePropertyListAtomically(const Plist& value, const std::string& path,
                                            std::string* why = nullptr, size_t limit = SIZE_MAX,
                                            Durability durability = Durability::rename);

// A file written in parts and put in place by atomic replacement, as above: the temporary file
// is made at open(), filled by append(), renamed over the path by commit(). A writer dropped
// before its commit leaves nothing behind, and the previous file as it was.
class COMMON_API AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();
  bool open(const std::string& path, std::string* why);
  bool append(std::string_view bytes, std::string* why);
  bool commit(Durability durability, std::string* why);

 private:
  void discard();
  std::string path_, temporary_;
  int fd_ = -1;
};

}  // namespace brimwell
