#include "common/plist_binary_reader.h"

#include <algorithm>
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

// The bytes a binary list is read from: all in memory, or a file read a block at a time.
class Bytes {
 public:
  virtual ~Bytes() = default;
  virtual uint64_t size() const = 0;
  // `count` bytes from `at`, which lie inside; good until the next call. Null, with why, when
  // they cannot be read.
  virtual const unsigned char* span(uint64_t at, size_t count, std::string& why) = 0;
};

class MemoryBytes final : public Bytes {
 public:
  explicit MemoryBytes(std::string_view bytes)
      : data_(reinterpret_cast<const unsigned char*>(bytes.data())), size_(bytes.size()) {}
  uint64_t size() const override { return size_; }
  const unsigned char* span(uint64_t at, size_t, std::string&) override { return data_ + at; }

 private:
  const unsigned char* data_;
  size_t size_;
};

// A few blocks of the input kept, so that the offset table, the shared keys and an element's
// objects are not read again for every reference; a span across blocks is read on its own.
class InputBytes final : public Bytes {
 public:
  explicit InputBytes(ByteInput& input) : input_(input) {}
  uint64_t size() const override { return input_.size(); }
  const unsigned char* span(uint64_t at, size_t count, std::string& why) override {
    const uint64_t block = at / kBlock;
    if (count == 0 || (at + count - 1) / kBlock != block) return spanned(at, count, why);
    Slot& slot = slots_[block % kSlots];
    if (slot.block != block + 1) {
      size_t got = 0;
      slot.block = 0;
      slot.bytes.resize(kBlock);
      if (!input_.read(block * kBlock, slot.bytes.data(), kBlock, got, why)) return nullptr;
      slot.block = block + 1;
    }
    return reinterpret_cast<const unsigned char*>(slot.bytes.data()) + at % kBlock;
  }

 private:
  static constexpr size_t kBlock = 4096, kSlots = 64;
  struct Slot {
    uint64_t block = 0;  // its number plus one; 0: none
    std::vector<char> bytes;
  };
  const unsigned char* spanned(uint64_t at, size_t count, std::string& why) {
    size_t got = 0;
    scratch_.resize(std::max<size_t>(count, 1));  // an empty string's bytes are somewhere too
    if (!input_.read(at, scratch_.data(), count, got, why)) return nullptr;
    return reinterpret_cast<const unsigned char*>(scratch_.data());
  }
  ByteInput& input_;
  Slot slots_[kSlots];
  std::vector<char> scratch_;
};

// The layout: a header, the objects, a table of their offsets, then a 32-byte trailer that says
// how wide offsets and references are, how many objects there are and which one is the top.
class BinaryReader {
 public:
  explicit BinaryReader(Bytes& bytes) : bytes_(bytes), size_(bytes.size()) {}

  Plist read(std::string& why) {
    Plist top = readTrailer() ? object(top_, 0) : Plist();
    why = error_;
    return error_.empty() ? std::move(top) : Plist();
  }

  // A top array's elements, one at a time: where its references start and how many there are.
  bool topArray(uint64_t& references, uint64_t& length, bool& isArray) {
    if (!readTrailer()) return false;
    const uint64_t offset = offsetOf(top_);
    const unsigned char* marker = error_.empty() ? span(offset, 1) : nullptr;
    if (!marker) return false;
    isArray = (*marker >> 4) == 0xa;
    references = offset + 1;
    if (!isArray || !count(*marker & 0x0f, references, length)) return false;
    if (length > tableOffset_ || !fits(references, length * referenceWidth_)) {
      return fail("a collection runs past the objects");
    }
    path_.push_back(top_);
    return true;
  }
  // The element a reference names, within the limits of one element; every element together
  // may not expand past a value for each byte of the file (and the limit once more).
  Plist element(uint64_t reference, size_t values, size_t bytes, bool& tooLarge) {
    mostValues_ = values;
    mostBytes_ = bytes;
    produced_ = 0;
    textBytes_ = 0;
    Plist value = referenced(reference, 1);
    tooLarge = tooLarge_;
    if (error_.empty() && (all_ += produced_) > size_ + kMaxBinaryPlistValues) {
      return malformed("expands to too many values");
    }
    return value;
  }
  const std::string& error() const { return error_; }
  size_t referenceWidth() const { return referenceWidth_; }

 private:
  const unsigned char* span(uint64_t at, size_t count) {
    std::string why;
    const unsigned char* bytes = bytes_.span(at, count, why);
    if (!bytes) fail("cannot read: " + why);
    return bytes;
  }

  uint64_t bigEndian(uint64_t at, size_t width) {
    const unsigned char* bytes = span(at, width);
    uint64_t value = 0;
    for (size_t i = 0; bytes && i < width; ++i) value = (value << 8) | bytes[i];
    return value;
  }

  uint64_t offsetOf(uint64_t index) {
    return bigEndian(tableOffset_ + index * offsetWidth_, offsetWidth_);
  }

  bool fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  Plist malformed(const std::string& why) {
    fail(why);
    return Plist();
  }
  // Past one element's limits: a fault of its own in a stream.
  Plist over(const std::string& why) {
    tooLarge_ = error_.empty();
    return malformed(why);
  }

  bool readTrailer() {
    if (size_ < kHeaderSize + kTrailerSize) return fail("too short for a binary property list");
    const unsigned char* header = span(0, kHeaderSize);
    if (!header) return false;
    if (std::memcmp(header, "bplist00", kHeaderSize) != 0) {
      return fail("not a binary property list of version 00");
    }
    const uint64_t trailer = size_ - kTrailerSize;
    const unsigned char* widths = span(trailer + 6, 2);
    if (!widths) return false;
    offsetWidth_ = widths[0];
    referenceWidth_ = widths[1];
    objects_ = bigEndian(trailer + 8, 8);
    top_ = bigEndian(trailer + 16, 8);
    tableOffset_ = bigEndian(trailer + 24, 8);
    if (!error_.empty()) return false;
    if (offsetWidth_ < 1 || offsetWidth_ > 8 || referenceWidth_ < 1 || referenceWidth_ > 8) {
      return fail("offset or reference width out of range");
    }
    if (tableOffset_ < kHeaderSize || tableOffset_ > trailer || objects_ == 0 ||
        objects_ > (trailer - tableOffset_) / offsetWidth_ || top_ >= objects_) {
      return fail("the offset table does not fit the file");
    }
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
    const unsigned char* bytes = span(at, 1);
    if (!bytes) return false;
    const unsigned marker = *bytes;
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

  double floating(uint64_t at, size_t width) {
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

  // The bytes of a string or data, counted against the element's limit.
  const unsigned char* payload(uint64_t at, uint64_t length) {
    textBytes_ += length;
    if (textBytes_ > mostBytes_) {
      over("more than " + std::to_string(mostBytes_) + " bytes of text");
      return nullptr;
    }
    return span(at, static_cast<size_t>(length));
  }

  Plist text(uint64_t at, unsigned kind, uint64_t length) {
    std::string out;
    if (kind == 0x5) {  // ASCII
      if (!fits(at, length)) return malformed("a string runs past the objects");
      const unsigned char* bytes = payload(at, length);
      for (uint64_t i = 0; bytes && i < length; ++i) {
        const unsigned char c = bytes[i];
        if (c == 0 || c >= 0x80) return malformed("an ASCII string with a NUL or a non-ASCII byte");
        out.push_back(static_cast<char>(c));
      }
      return error_.empty() ? Plist::string(std::move(out)) : Plist();
    }
    // UTF-16, big-endian
    if (length > tableOffset_ / 2 || !fits(at, length * 2)) {
      return malformed("a string runs past the objects");
    }
    const unsigned char* bytes = payload(at, length * 2);
    const auto unit = [&](uint64_t i) {
      return static_cast<uint32_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    };
    for (uint64_t i = 0; bytes && i < length; ++i) {
      uint32_t c = unit(i);
      if (c >= 0xd800 && c <= 0xdbff && i + 1 < length) {
        const auto low = unit(i + 1);
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
    return error_.empty() ? Plist::string(std::move(out)) : Plist();
  }

  // The object a reference at `at` names, read in full. The collections it lies in are few (the
  // depth is bounded), so they are searched for it rather than marked in a table the size of
  // the file.
  Plist referenced(uint64_t at, int depth) {
    const uint64_t index = bigEndian(at, referenceWidth_);
    if (!error_.empty()) return Plist();
    if (index >= objects_) return malformed("a reference to no object");
    if (std::find(path_.begin(), path_.end(), index) != path_.end()) {
      return malformed("an object contains itself");
    }
    return object(index, depth);
  }

  Plist container(uint64_t at, unsigned kind, uint64_t length, uint64_t index, int depth) {
    const uint64_t references = kind == 0xd ? 2 * length : length;
    if (length > tableOffset_ || !fits(at, references * referenceWidth_)) {
      return malformed("a collection runs past the objects");
    }
    path_.push_back(index);
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
    path_.pop_back();
    return error_.empty() ? std::move(out) : Plist();
  }

  Plist object(uint64_t index, int depth) {
    if (depth > kMaxPlistDepth) return malformed("nested deeper than 512");
    if (++produced_ > mostValues_) return over("expands to too many values");
    const uint64_t offset = offsetOf(index);
    if (!error_.empty()) return Plist();
    if (offset < kHeaderSize || !fits(offset, 1)) return malformed("an object outside the file");
    const unsigned char* markerByte = span(offset, 1);
    if (!markerByte) return Plist();
    const unsigned marker = *markerByte;
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
        const unsigned char* bytes = payload(at, length);
        if (!bytes) return Plist();
        return Plist::data(std::string(reinterpret_cast<const char*>(bytes), length));
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

  Bytes& bytes_;
  uint64_t size_;
  size_t offsetWidth_ = 0, referenceWidth_ = 0;
  uint64_t objects_ = 0, top_ = 0, tableOffset_ = 0;
  std::vector<uint64_t> path_;  // the collections being read, outermost first
  size_t produced_ = 0, mostValues_ = kMaxBinaryPlistValues;
  uint64_t textBytes_ = 0, mostBytes_ = UINT64_MAX;
  uint64_t all_ = 0;  // values of every element read so far
  bool tooLarge_ = false;
  std::string error_;
};

}  // namespace

bool isBinaryPropertyList(std::string_view bytes) {
  return bytes.substr(0, 6) == "bplist";
}

Plist readBinaryPropertyList(std::string_view bytes, std::string& why) {
  MemoryBytes memory(bytes);
  return BinaryReader(memory).read(why);
}

namespace {

// The top array's references read one at a time, each element through the same checks.
class BinaryArrayStream final : public PlistArrayStream {
 public:
  BinaryArrayStream(ByteInput& input, ElementLimits limits)
      : PlistArrayStream(limits), bytes_(input), reader_(bytes_) {
    bool isArray = false;
    if (reader_.topArray(next_, length_, isArray)) return;
    if (reader_.error().empty() && !isArray) {
      fail(Fault::notAnArray, "its top value is not an array");
    } else {
      fail(faultOf(reader_.error()), reader_.error());
    }
  }

  Plist next() override {
    if (fault() != Fault::none || given() >= length_) return Plist();
    bool tooLarge = false;
    Plist element = reader_.element(next_, limits_.values, limits_.bytes, tooLarge);
    next_ += reader_.referenceWidth();
    if (tooLarge) return this->tooLarge(given());
    if (!element) return fail(faultOf(reader_.error()), reader_.error());
    return give(std::move(element));
  }

 private:
  static Fault faultOf(const std::string& why) {
    return why.rfind("cannot read: ", 0) == 0 ? Fault::unreadable : Fault::malformed;
  }
  InputBytes bytes_;
  BinaryReader reader_;
  uint64_t next_ = 0, length_ = 0;
};

}  // namespace

std::unique_ptr<PlistArrayStream> binaryArrayStream(ByteInput& input, ElementLimits limits) {
  return std::make_unique<BinaryArrayStream>(input, limits);
}

}  // namespace brimwell
