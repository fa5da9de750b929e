#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "common/plist.h"

namespace brimwell {

// A real status file is about 2 KB; anything past this is treated as unreadable so that a file
// planted in a world-writable folder cannot exhaust memory.
inline constexpr size_t kMaxDictionaryFileBytes = 1024 * 1024;

// Reads the whole file in one piece and parses XML or binary. Gives a null Plist ("no
// dictionary") when the path is absent, not a regular file, unreadable, too large, malformed,
// or when its top level is not a dictionary.
Plist readDictionaryFile(const std::string& path);

// The bytes of a regular file of at most kMaxDictionaryFileBytes; none for anything else (absent,
// a device, a FIFO, too large, unreadable).
std::optional<std::string> readSmallRegularFile(const std::string& path);

// Writes the dictionary as an XML property list by atomic replacement: a new file with an
// unpredictable name is created exclusively in the same folder (so a planted symlink is never
// followed), filled, then renamed over the path. Its mode is what a plain create gives
// (0666 less the umask) so other processes can read it. On any failure the temporary file is
// removed, the previous file stays as it was, and false is returned.
bool writeDictionaryFileAtomically(const Plist& dictionary, const std::string& path);

}  // namespace brimwell
