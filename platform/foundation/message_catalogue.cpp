#include "platform/foundation/message_catalogue.h"

#include <cstdint>

#include "common/dictionary_file.h"

namespace platform {
namespace {

constexpr uint32_t kMagic = 0x950412de;

class CatalogueBytes {
 public:
  explicit CatalogueBytes(std::string_view bytes) : bytes_(bytes) {}

  // False on a magic number in neither byte order.
  bool readByteOrder() {
    if (bytes_.size() < 28) return false;
    swapped_ = false;
    if (word(0) == kMagic) return true;
    swapped_ = true;
    return word(0) == kMagic;
  }

  uint32_t word(size_t at) const {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      const auto byte = static_cast<unsigned char>(bytes_[at + i]);
      value |= static_cast<uint32_t>(byte) << (swapped_ ? 8 * (3 - i) : 8 * i);
    }
    return value;
  }

  // The text that the table entry at `at` (length, offset) describes; false when it lies
  // outside the file.
  bool text(uint64_t at, std::string_view& out) const {
    if (at + 8 > bytes_.size()) return false;
    const uint64_t length = word(at), offset = word(at + 4);
    if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
    out = bytes_.substr(offset, length);
    return true;
  }

 private:
  std::string_view bytes_;
  bool swapped_ = false;
};

}  // namespace

std::unordered_map<std::string, std::string> messageCatalogueFrom(std::string_view bytes) {
  std::unordered_map<std::string, std::string> translations;
  CatalogueBytes catalogue(bytes);
  if (!catalogue.readByteOrder() || (catalogue.word(4) >> 16) > 1) return translations;
  const uint64_t count = catalogue.word(8), originals = catalogue.word(12),
                 translated = catalogue.word(16);
  for (uint64_t i = 0; i < count; ++i) {
    std::string_view original, translation;
    if (!catalogue.text(originals + 8 * i, original) ||
        !catalogue.text(translated + 8 * i, translation)) {
      return {};
    }
    // The header has an empty key; a plural entry keeps its forms apart with NULs.
    if (original.empty()) continue;
    translations.emplace(original.substr(0, original.find('\0')),
                         translation.substr(0, translation.find('\0')));
  }
  return translations;
}

std::unordered_map<std::string, std::string> readMessageCatalogue(const std::string& path) {
  const auto bytes = brimwell::readSmallRegularFile(path);
  return bytes ? messageCatalogueFrom(*bytes) : std::unordered_map<std::string, std::string>();
}

}  // namespace platform
