#include "common/plist_binary_reader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/plist_date.h"

namespace brimwell {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTrailerSize = 32;

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xc0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xe0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else {
    out.push_back(static_cast<char>(0xf0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
  }
}

// The layout: a header, the objects, a table of their offsets, then a 32-byte trailer that says
// how wide offsets and references are, how many objects there are and which one is the top.
class BinaryReader {
 public:
  explicit BinaryReader(std::string_view bytes)
      : data_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}

  Plist read(std::string& why) {
    Plist top = readTrailer() ? object(top_, 0) : Plist();
    why = error_;
    return error_.empty() ? std::move(top) : Plist();
  }

 private:
  uint64_t bigEndian(uint64_t at, size_t width) const {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i) value = (value << 8) | data_[at + i];
    return value;
  }

  bool fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  Plist malformed(const std::string& why) {
    fail(why);
    return Plist();
  }

  bool readTrailer() {
    if (size_ < kHeaderSize + kTrailerSize) return fail("too short for a binary property list");
    if (std::memcmp(data_, "bplist00", kHeaderSize) != 0) {
      return fail("not a binary property list of version 00");
    }
    const uint64_t trailer = size_ - kTrailerSize;
    offsetWidth_ = data_[trailer + 6];
    referenceWidth_ = data_[trailer + 7];
    objects_ = bigEndian(trailer + 8, 8);
    top_ = bigEndian(trailer + 16, 8);
    tableOffset_ = bigEndian(trailer + 24, 8);
    if (offsetWidth_ < 1 || offsetWidth_ > 8 || referenceWidth_ < 1 || referenceWidth_ > 8) {
      return fail("offset or reference width out of range");
    }
    if (tableOffset_ < kHeaderSize || tableOffset_ > trailer || objects_ == 0 ||
        objects_ > (trailer - tableOffset_) / offsetWidth_ || top_ >= objects_) {
      return fail("the offset table does not fit the file");
    }
    onPath_.assign(objects_, false);
    return true;
  }

  // Bytes [at, at + count) lie inside the object area.
  bool fits(uint64_t at, uint64_t count) const {
    return at <= tableOffset_ && count <= tableOffset_ - at;
  }

  // The element count of a marker: its low four bits, or the integer object that follows.
  bool count(unsigned low, uint64_t& at, uint64_t& out) {
    if (low != 0x0f) {
      out = low;
      return true;
    }
    if (!fits(at, 1)) return fail("a length runs past the objects");
    const unsigned marker = data_[at];
    const size_t width = size_t{1} << (marker & 0x0f);
    if ((marker >> 4) != 0x1 || width > 8 || !fits(at + 1, width)) {
      return fail("a length that is not an integer");
    }
    out = bigEndian(at + 1, width);
    at += 1 + width;
    return true;
  }

  Plist integer(uint64_t at, unsigned low) {
    if (low > 4 || !fits(at, uint64_t{1} << low)) return malformed("a bad integer");
    const size_t width = size_t{1} << low;
    const uint64_t value = bigEndian(at, width < 16 ? width : 8);
    if (width < 8) return Plist::unsignedInteger(value);
    if (width == 8) return Plist::integer(static_cast<int64_t>(value));
    // 128 bits: the high half only extends the sign of the low one or marks it unsigned.
    const uint64_t low64 = bigEndian(at + 8, 8);
    if (value == 0) return Plist::unsignedInteger(low64);
    if (value == ~uint64_t{0} && (low64 >> 63) != 0) {
      return Plist::integer(static_cast<int64_t>(low64));
    }
    return malformed("an integer beyond -2^63 .. 2^64-1");
  }

  double floating(uint64_t at, size_t width) const {
    const uint64_t bits = bigEndian(at, width);
    if (width == 4) {
      float f;
      const auto narrow = static_cast<uint32_t>(bits);
      std::memcpy(&f, &narrow, sizeof f);
      return f;
    }
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

  Plist text(uint64_t at, unsigned kind, uint64_t length) {
    std::string out;
    if (kind == 0x5) {  // ASCII
      if (!fits(at, length)) return malformed("a string runs past the objects");
      for (uint64_t i = 0; i < length; ++i) {
        const unsigned char c = data_[at + i];
        if (c == 0 || c >= 0x80) return malformed("an ASCII string with a NUL or a non-ASCII byte");
        out.push_back(static_cast<char>(c));
      }
      return Plist::string(std::move(out));
    }
    // UTF-16, big-endian
    if (length > tableOffset_ / 2 || !fits(at, length * 2)) {
      return malformed("a string runs past the objects");
    }
    for (uint64_t i = 0; i < length; ++i) {
      uint32_t c = static_cast<uint32_t>(bigEndian(at + 2 * i, 2));
      if (c >= 0xd800 && c <= 0xdbff && i + 1 < length) {
        const auto low = static_cast<uint32_t>(bigEndian(at + 2 * (i + 1), 2));
        if (low >= 0xdc00 && low <= 0xdfff) {
          c = 0x10000 + ((c - 0xd800) << 10) + (low - 0xdc00);
          ++i;
        }
      }
      if (c == 0 || (c >= 0xd800 && c <= 0xdfff)) {
        return malformed("a UTF-16 string with a NUL or an unpaired surrogate");
      }
      appendUtf8(out, c);
    }
    return Plist::string(std::move(out));
  }

  // The object a reference at `at` names, read in full.
  Plist referenced(uint64_t at, int depth) {
    const uint64_t index = bigEndian(at, referenceWidth_);
    if (index >= objects_) return malformed("a reference to no object");
    if (onPath_[index]) return malformed("an object contains itself");
    return object(index, depth);
  }

  Plist container(uint64_t at, unsigned kind, uint64_t length, uint64_t index, int depth) {
    const uint64_t references = kind == 0xd ? 2 * length : length;
    if (length > tableOffset_ || !fits(at, references * referenceWidth_)) {
      return malformed("a collection runs past the objects");
    }
    onPath_[index] = true;
    Plist out = kind == 0xd ? Plist::newDictionary() : Plist::newArray();
    for (uint64_t i = 0; i < length && error_.empty(); ++i) {
      if (kind == 0xa) {
        out.append(referenced(at + i * referenceWidth_, depth + 1));
        continue;
      }
      const Plist key = referenced(at + i * referenceWidth_, depth + 1);
      if (error_.empty() && key.kind() != Plist::Kind::String) fail("a key that is not a string");
      Plist value = referenced(at + (length + i) * referenceWidth_, depth + 1);
      if (error_.empty()) out.setItem(key.text(), std::move(value));
    }
    onPath_[index] = false;
    return error_.empty() ? std::move(out) : Plist();
  }

  Plist object(uint64_t index, int depth) {
    if (depth > kMaxPlistDepth) return malformed("nested deeper than 512");
    if (++produced_ > kMaxBinaryPlistValues) return malformed("expands to too many values");
    const uint64_t offset = bigEndian(tableOffset_ + index * offsetWidth_, offsetWidth_);
    if (offset < kHeaderSize || !fits(offset, 1)) return malformed("an object outside the file");
    const unsigned marker = data_[offset];
    const unsigned kind = marker >> 4, low = marker & 0x0f;
    uint64_t at = offset + 1;
    switch (kind) {
      case 0x0:
        if (low == 0x8 || low == 0x9) return Plist::boolean(low == 0x9);
        break;
      case 0x1:
        return integer(at, low);
      case 0x2:
        if ((low == 2 || low == 3) && fits(at, size_t{1} << low)) {
          return Plist::real(floating(at, size_t{1} << low));
        }
        break;
      case 0x3:
        if (low == 3 && fits(at, 8)) {
          const double seconds = floating(at, 8);
          if (formatPlistDate(seconds)) return Plist::date(seconds);
          return malformed("a date outside the years 1 to 9999");
        }
        break;
      case 0x4:
      case 0x5:
      case 0x6: {
        uint64_t length = 0;
        if (!count(low, at, length)) return Plist();
        if (kind != 0x4) return text(at, kind, length);
        if (!fits(at, length)) return malformed("data runs past the objects");
        return Plist::data(std::string(reinterpret_cast<const char*>(data_ + at), length));
      }
      case 0x8:
        if (fits(at, low + 1u) && low < 8) return Plist::uid(bigEndian(at, low + 1u));
        break;
      case 0xa:
      case 0xd: {
        uint64_t length = 0;
        if (!count(low, at, length)) return Plist();
        return container(at, kind, length, index, depth);
      }
      default:
        break;
    }
    char marked[8];
    std::snprintf(marked, sizeof marked, "0x%02x", marker);
    return malformed(std::string("an object marked ") + marked +
                     " that a property list cannot hold");
  }

  const unsigned char* data_;
  size_t size_;
  size_t offsetWidth_ = 0, referenceWidth_ = 0;
  uint64_t objects_ = 0, top_ = 0, tableOffset_ = 0;
  std::vector<bool> onPath_;
  size_t produced_ = 0;
  std::string error_;
};

}  // namespace

bool isBinaryPropertyList(std::string_view bytes) {
  return bytes.substr(0, 6) == "bplist";
}

Plist readBinaryPropertyList(std::string_view bytes, std::string& why) {
  return BinaryReader(bytes).read(why);
}

}  // namespace brimwell
