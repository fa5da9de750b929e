#include "common/plist_input_check.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace brimwell {
namespace {

bool isBinary(std::string_view bytes) {
  return bytes.substr(0, 6) == "bplist";
}

// "&#0;", "&#x000;" and the like.
bool xmlHasNul(std::string_view xml) {
  if (std::memchr(xml.data(), '\0', xml.size())) return true;
  for (size_t at = xml.find("&#"); at != std::string_view::npos; at = xml.find("&#", at + 2)) {
    size_t i = at + 2;
    const bool hex = i < xml.size() && (xml[i] == 'x' || xml[i] == 'X');
    if (hex) ++i;
    const size_t digits = i;
    bool allZero = true;
    while (i < xml.size() && (std::isxdigit(static_cast<unsigned char>(xml[i])) != 0) &&
           (hex || (xml[i] >= '0' && xml[i] <= '9'))) {
      if (xml[i] != '0') allZero = false;
      ++i;
    }
    if (i > digits && allZero && i < xml.size() && xml[i] == ';') return true;
  }
  return false;
}

uint64_t bigEndian(const unsigned char* p, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | p[i];
  return value;
}

// The binary layout: objects, then a table of their offsets, then a 32-byte trailer.
bool binaryHasNul(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  if (size < 8 + 32) return true;
  const unsigned char* trailer = data + size - 32;
  const size_t offsetWidth = trailer[6];
  const uint64_t objects = bigEndian(trailer + 8, 8);
  const uint64_t tableOffset = bigEndian(trailer + 24, 8);
  if (offsetWidth < 1 || offsetWidth > 8 || tableOffset >= size) return true;
  if (objects > (size - tableOffset) / offsetWidth) return true;

  for (uint64_t n = 0; n < objects; ++n) {
    const uint64_t offset = bigEndian(data + tableOffset + n * offsetWidth, offsetWidth);
    if (offset >= size - 32) return true;
    const unsigned char marker = data[offset];
    const unsigned kind = marker >> 4;
    if (kind != 0x5 && kind != 0x6 && kind != 0x7) continue;  // only text can carry the NUL
    uint64_t length = marker & 0x0f;
    uint64_t start = offset + 1;
    if (length == 0x0f) {  // the length follows as an integer object
      if (start >= size) return true;
      const unsigned char intMarker = data[start];
      if ((intMarker >> 4) != 0x1) return true;
      const size_t width = size_t{1} << (intMarker & 0x0f);
      if (width > 8 || start + 1 + width > size) return true;
      length = bigEndian(data + start + 1, width);
      start += 1 + width;
    }
    const uint64_t unit = kind == 0x6 ? 2 : 1;
    if (length > (size - start) / unit) return true;
    for (uint64_t i = 0; i < length; ++i) {
      const unsigned char* c = data + start + i * unit;
      if (unit == 1 ? c[0] == 0 : (c[0] == 0 && c[1] == 0)) return true;
    }
  }
  return false;
}

}  // namespace

bool carriesNulInText(std::string_view bytes) {
  return isBinary(bytes) ? binaryHasNul(bytes) : xmlHasNul(bytes);
}

}  // namespace brimwell
